#include "delta_encoder.h"

namespace demo_payload {
namespace {

bool IsCommandOrEscape(uint8_t b) {
    return b >= DeltaSeekBack && b <= DeltaEscape;
}

void AppendBe32(uint32_t v, std::vector<uint8_t>* out) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->push_back(static_cast<uint8_t>(v >> shift));
    }
}

uint8_t CommandCode(DeltaOpKind kind) {
    switch (kind) {
        case DeltaOpKind::kSeekBack: return DeltaSeekBack;
        case DeltaOpKind::kCopy: return DeltaCopy;
        case DeltaOpKind::kSeekForward: return DeltaSeekForward;
        case DeltaOpKind::kInsert: return DeltaInsert;
        case DeltaOpKind::kReplace: return DeltaReplace;
    }
    return 0;
}

class OpPlanner {
public:
    explicit OpPlanner(std::vector<DeltaOp>* ops) : ops_(ops) {}

    bool MoveSource(uint64_t target) {
        if (target == source_) return true;
        if (target < source_) {
            if (!Push(DeltaOpKind::kSeekBack, source_ - target)) return false;
        } else if (!Push(DeltaOpKind::kSeekForward, target - source_)) {
            return false;
        }
        source_ = target;
        return true;
    }

    bool Copy(uint64_t offset, uint64_t length) {
        if (!MoveSource(offset)) return false;
        source_ += length;
        DeltaOp* last = Last();
        // Unchanged neighbouring assets collapse into one long copy.
        if (last != nullptr && last->kind == DeltaOpKind::kCopy &&
            length <= kMaxDeltaLength - last->length) {
            last->length += length;
            return true;
        }
        return Push(DeltaOpKind::kCopy, length);
    }

    bool Literal(size_t segment_index, const Segment& segment) {
        DeltaOpKind kind = DeltaOpKind::kInsert;
        if (segment.overwrites) {
            // Replace literals skip the old bytes they stand for.
            if (!MoveSource(segment.old_offset)) return false;
            source_ += segment.length;
            kind = DeltaOpKind::kReplace;
        }
        DeltaOp* last = Last();
        if (last != nullptr && last->kind == kind) {
            last->length += segment.length;
            last->segments.push_back(segment_index);
            return true;
        }
        DeltaOp op{kind, segment.length, LengthForm::kShortest, {segment_index}};
        ops_->push_back(op);
        return true;
    }

private:
    bool Push(DeltaOpKind kind, uint64_t length) {
        if (length == 0 || length > kMaxDeltaLength) return false;
        ops_->push_back(DeltaOp{kind, length, LengthForm::kShortest, {}});
        return true;
    }

    DeltaOp* Last() { return ops_->empty() ? nullptr : &ops_->back(); }

    std::vector<DeltaOp>* ops_;
    uint64_t source_ = 0;
};

}  // namespace

bool PlanDeltaOps(const OldBundle& old_bundle, const NewBundle& new_bundle,
                  std::vector<DeltaOp>* ops) {
    ops->clear();
    OpPlanner planner(ops);
    for (size_t i = 0; i < new_bundle.segments.size(); ++i) {
        const Segment& segment = new_bundle.segments[i];
        if (segment.length == 0) continue;
        bool ok = false;
        switch (segment.kind) {
            case SegmentKind::kOld:
                ok = segment.old_offset <= old_bundle.size &&
                     segment.length <= old_bundle.size - segment.old_offset &&
                     planner.Copy(segment.old_offset, segment.length);
                break;
            case SegmentKind::kStream:
            case SegmentKind::kBytes:
                ok = (!segment.overwrites ||
                      (segment.old_offset <= old_bundle.size &&
                       segment.length <= old_bundle.size - segment.old_offset)) &&
                     planner.Literal(i, segment);
                break;
        }
        if (!ok) return false;
    }
    // The patch revisits one run of assets; its seek back carries the
    // eight-byte length form so the payload uses every form.
    for (DeltaOp& op : *ops) {
        if (op.kind == DeltaOpKind::kSeekBack) {
            op.form = LengthForm::kEightByte;
            break;
        }
    }
    return true;
}

bool AppendDeltaLength(uint64_t value, LengthForm form, std::vector<uint8_t>* out) {
    if (value == 0 || value > kMaxDeltaLength) return false;
    const uint32_t v = static_cast<uint32_t>(value);
    if (form == LengthForm::kEightByte) {
        out->push_back(0xFF);
        out->insert(out->end(), kEightByteFiller, kEightByteFiller + 4);
        AppendBe32(v, out);
    } else if (v <= 252) {
        out->push_back(static_cast<uint8_t>(v - 1));
    } else if (v <= 508) {
        out->push_back(0xFC);
        out->push_back(static_cast<uint8_t>(v - 253));
    } else if (v <= 0xFFFF) {
        // No offset in this form: the two bytes are the value itself.
        out->push_back(0xFD);
        out->push_back(static_cast<uint8_t>(v >> 8));
        out->push_back(static_cast<uint8_t>(v));
    } else {
        out->push_back(0xFE);
        AppendBe32(v, out);
    }
    return true;
}

void AppendDeltaLiterals(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
    size_t i = 0;
    while (i < size) {
        const uint8_t b = data[i];
        if (b != DeltaEscape) {
            out->push_back(b);
            ++i;
        } else if (i + 1 < size && !IsCommandOrEscape(data[i + 1])) {
            // A lone escape stands for itself and the byte after it.
            out->push_back(DeltaEscape);
            out->push_back(data[i + 1]);
            i += 2;
        } else {
            // Last literal, or followed by a byte that would form a command.
            out->push_back(DeltaEscape);
            out->push_back(DeltaEscape);
            ++i;
        }
    }
}

bool EncodeDelta(const OldBundle& old_bundle, const NewBundle& new_bundle,
                 std::vector<uint8_t>* out) {
    std::vector<DeltaOp> ops;
    if (!PlanDeltaOps(old_bundle, new_bundle, &ops)) return false;
    out->clear();
    std::vector<uint8_t> literals;
    for (const DeltaOp& op : ops) {
        out->push_back(DeltaEscape);
        out->push_back(CommandCode(op.kind));
        if (op.kind == DeltaOpKind::kInsert || op.kind == DeltaOpKind::kReplace) {
            // One op's literals are encoded together so that an escape pair
            // may span two segments. They are a few MiB at most.
            literals.clear();
            for (size_t index : op.segments) {
                const Segment& segment = new_bundle.segments[index];
                const size_t at = literals.size();
                literals.resize(at + static_cast<size_t>(segment.length));
                if (!FillSegment(old_bundle, new_bundle, segment, 0,
                                 literals.data() + at,
                                 static_cast<size_t>(segment.length))) {
                    return false;
                }
            }
            AppendDeltaLiterals(literals.data(), literals.size(), out);
        } else if (!AppendDeltaLength(op.length, op.form, out)) {
            return false;
        }
    }
    return true;
}

}  // namespace demo_payload
