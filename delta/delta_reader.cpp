#include "delta/delta_reader.h"

#include <cstring>

bool DeltaReader::Refill() {
    if (hitEnd_ || failed_) {
        return false;
    }
    consumed_ += end_;
    pos_ = 0;
    end_ = fread(buf_, 1, sizeof(buf_), file_);
    if (end_ > 0) {
        return true;
    }
    // A read error must not pass for the end of the delta: that would report a cut-short
    // rebuild as a success.
    if (ferror(file_)) {
        failed_ = true;
    }
    hitEnd_ = true;
    return false;
}

int DeltaReader::NextByte() {
    if (pos_ == end_ && !Refill()) {
        return -1;
    }
    return buf_[pos_++];
}

void DeltaReader::Next(DeltaToken* token) {
    *token = DeltaToken{};
    if (pos_ == end_ && !Refill()) {
        token->offset = Offset();
        token->kind = failed_ ? DeltaTokenKind::ReadError : DeltaTokenKind::End;
        return;
    }
    token->offset = Offset();
    const uint8_t* run = buf_ + pos_;
    size_t available = end_ - pos_;
    const void* escape = memchr(run, DeltaEscape, available);
    size_t count = escape ? static_cast<size_t>(static_cast<const uint8_t*>(escape) - run) : available;
    if (count + 1 < available && run[count + 1] == DeltaEscape) {
        // The escaped escape's first byte joins the run; its second is the command code.
        token->endsEscaped = true;
        pos_ += count + 2;
        count++;
    } else {
        pos_ += count;
    }
    if (count > 0) {
        token->kind = DeltaTokenKind::Literals;
        token->bytes = run;
        token->count = count;
        return;
    }
    pos_++;
    int code = NextByte();
    if (code < 0) {
        token->kind = failed_ ? DeltaTokenKind::ReadError : DeltaTokenKind::Truncated;
        return;
    }
    token->code = static_cast<uint8_t>(code);
    switch (code) {
    case DeltaSeekBack:
    case DeltaCopy:
    case DeltaSeekForward:
        token->length = DecodeDeltaLength([this] { return NextByte(); });
        if (hitEnd_) {
            token->kind = failed_ ? DeltaTokenKind::ReadError : DeltaTokenKind::Truncated;
        } else {
            token->kind = DeltaTokenKind::SourceCommand;
        }
        return;
    case DeltaInsert:
    case DeltaReplace:
        token->kind = DeltaTokenKind::Mode;
        return;
    case DeltaEscape:
        token->kind = DeltaTokenKind::EscapedEscape;
        return;
    default:
        token->kind = DeltaTokenKind::LoneEscape;
        return;
    }
}
