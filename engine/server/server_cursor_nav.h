// A server cursor's place in its index, and the routines that keep it.
// Internal to the cursor units.
#pragma once

#include <memory>
#include <vector>

#include "engine/server/server_engine.h"
#include "engine/storage/blobs.h"
#include "engine/storage/btree.h"
#include "engine/storage/records.h"

namespace qv {

struct TqvUserKeyContext {
    void* compare = nullptr;
    std::uint32_t keyLength = 0;
};

int UserCompare(const std::uint8_t* a, const std::uint8_t* b, const void* context);

struct RangeBound {
    bool set = false;
    std::vector<std::uint8_t> key;
    std::uint32_t fieldCount = 0, partialLength = 0;
    bool inclusive = true;
};

class TqvCursorNav final : public TqvCursorState {
public:
    std::unique_ptr<TqvCursorState> Clone() const override {
        auto n = std::make_unique<TqvCursorNav>(*this);
        n->Repoint();
        return n;
    }
    void InvalidatePath() override {
        // Levels past the depth are never read: no need to clear them.
        path.depth = 0;
        path.state = qvpsNone;
        insertedHere = false;
    }
    void FilesReopened(TqvSrTable* table, std::uint32_t index) override;
    // The index context points into this object; a copy must point into itself.
    void Repoint() {
        if (KeyContextCompare()) ictx.compareContext = &kctx;
        if (ictx.compare == UserCompare) ictx.compareContext = &uctx;
    }
    // The index compares through the key context (not a user routine, not
    // the record-number index).
    bool KeyContextCompare() const {
        return ictx.compare == QvCompareKeysProc || ictx.compare == QvCompareInt32KeyProc;
    }
    void ClearPartial() {
        kctx.fieldCount = 0;
        kctx.partialLength = 0;
        ictx.partialCompare = false;
    }
    void SetPartial(std::uint32_t f, std::uint32_t p) {
        kctx.fieldCount = f;
        kctx.partialLength = p;
        ictx.partialCompare = (f != 0 || p != 0) && !(p == 0 && NamesWholeKey(f));
    }
    // Every field of a composite key, none cut short: the search compares
    // whole keys, and an exact one finds its entry without walking back over
    // neighbours that compare equal on a leading part.
    bool NamesWholeKey(std::uint32_t f) const {
        if (!KeyContextCompare() || kctx.dictionary == nullptr ||
            kctx.index >= kctx.dictionary->IndexCount())
            return false;
        const std::int32_t count = kctx.dictionary->Index(kctx.index).keyFieldCount;
        return count > 0 && f >= static_cast<std::uint32_t>(count);
    }

    TqvIndexContext ictx;
    TqvKeyContext kctx;
    TqvUserKeyContext uctx;
    std::uint32_t keyLength = 0;
    TqvCursorPath path;
    bool keyValid = false;
    std::vector<std::uint8_t> key;
    std::vector<std::uint8_t> record;
    bool rangeActive = false;
    RangeBound start, end;
    // The cursor stands on the record it has just inserted (inside its
    // range) and nothing has changed since: its path is not needed to read
    // that record, and is found only when a move asks for it.
    bool insertedHere = false;
    std::vector<std::uint8_t> scratchKey;  // a move's key before it is taken
};


void FillIndexInfo(TqvSrTable* t, std::uint32_t index, TqvCursorNav& n);
TqvCursorNav& Nav(TqvSrCursor* c);
void Invalidate(TqvCursorNav& n);
void SetBOF(TqvSrCursor* c);
void SetEOF(TqvSrCursor* c);
void RefKey(std::uint8_t* key, std::uint32_t ref);
// Compares two keys of the cursor's index on `f` leading fields and a
// partial length `p` of the next (0, 0: whole keys).
int CompareWith(TqvCursorNav& n, const std::uint8_t* a, const std::uint8_t* b, std::uint32_t f, std::uint32_t p);
bool BeforeRange(TqvCursorNav& n, const std::uint8_t* k);
bool AfterRange(TqvCursorNav& n, const std::uint8_t* k);
// Re-finds the cursor in its index from its key when its path was lost.
void SyncPosition(TqvSrCursor* c, bool beforeWhenLost);
bool BufferFits(const std::uint8_t* buffer, std::size_t size, std::uint32_t need);
// 0 (inside a user transaction), 10257 (none: start an implicit one) or a refusal.
DBIResult CheckCanModify(TqvSrCursor* c, bool needRecord);

// Runs `body` and converts an escaping storage error into its code.
template <class F>
inline DBIResult Guarded(F&& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        return TqvServerEngine::ExceptionToResult(e);
    }
}

}  // namespace qv
