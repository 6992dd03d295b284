// libFuzzer target: random deltas against a random source, in memory, compared with the
// byte-at-a-time decoding. The in-memory streams behave like files: they seek anywhere at or
// after their start and read nothing past their end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "delta/delta.h"
#include "delta_fixture.h"

namespace {

struct MemorySource {
    const uint8_t* data;
    int64_t size;
    int64_t pos;
};

ssize_t MemoryRead(void* cookie, char* buf, size_t n) {
    auto* s = static_cast<MemorySource*>(cookie);
    if (s->pos >= s->size) {
        return 0;
    }
    size_t left = static_cast<size_t>(s->size - s->pos);
    if (n > left) {
        n = left;
    }
    memcpy(buf, s->data + s->pos, n);
    s->pos += static_cast<int64_t>(n);
    return static_cast<ssize_t>(n);
}

int MemorySeek(void* cookie, off64_t* offset, int whence) {
    auto* s = static_cast<MemorySource*>(cookie);
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->pos : s->size;
    int64_t to = base + *offset;
    if (to < 0) {
        return -1;
    }
    s->pos = *offset = to;
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first two bytes give the source's size; the source is the bytes that follow, up to that
    // size, and the delta is the rest.
    size_t sourceSize = (static_cast<size_t>(data[0]) << 8 | data[1]) % 4096;
    data += 2;
    size -= 2;
    if (sourceSize > size) {
        sourceSize = size;
    }
    const uint8_t* deltaBytes = data + sourceSize;
    size_t deltaSize = size - sourceSize;
    MemorySource sourceMemory{data, static_cast<int64_t>(sourceSize), 0};
    MemorySource deltaMemory{deltaBytes, static_cast<int64_t>(deltaSize), 0};
    cookie_io_functions_t io{MemoryRead, nullptr, MemorySeek, nullptr};
    FILE* source = fopencookie(&sourceMemory, "rb", io);
    FILE* delta = fopencookie(&deltaMemory, "rb", io);
    char* outBuf = nullptr;
    size_t outSize = 0;
    FILE* output = open_memstream(&outBuf, &outSize);
    if (!source || !delta || !output) {
        abort();
    }
    bool ok = ApplyDelta(source, delta, output);
    fclose(source);
    fclose(delta);
    fclose(output);

    Bytes src(data, data + sourceSize);
    Bytes del(deltaBytes, deltaBytes + deltaSize);
    ApplyResult ref = ApplyReference(src, del);
    if (ok != ref.ok || (ok && (ref.output.size() != outSize ||
                                (outSize && memcmp(ref.output.data(), outBuf, outSize) != 0)))) {
        fprintf(stderr, "applier and reference disagree: ok %d vs %d, %zu vs %zu bytes\n", ok, ref.ok, outSize,
                ref.output.size());
        abort();
    }
    free(outBuf);
    return 0;
}
