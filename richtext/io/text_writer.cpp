#include "richtext/io/text_writer.h"

#include <algorithm>

namespace richtext {

namespace {

constexpr std::size_t kFlushAt = 64 * 1024;

bool SameRun(const TJDCharAttr& a, const TJDCharAttr& b) {
    return a.font == b.font && a.colors == b.colors && a.style == b.style && a.size == b.size;
}

}  // namespace

void TJDTextWriter::SetRange(TParagraph* startPar, TLine* startLine, int startPos, TParagraph* endPar,
                             TLine* endLine, int endPos) {
    startPar_ = startPar;
    startLine_ = startLine;
    startPos_ = std::max(startPos, 0);
    endPar_ = endPar;
    endLine_ = endLine;
    endPos_ = endPos;
    rangeSet_ = true;
}

bool TJDTextWriter::Put(std::string_view s) {
    buf_.append(s);
    if (buf_.size() >= kFlushAt) return Flush();
    return true;
}

bool TJDTextWriter::Flush() {
    if (buf_.empty() || !out_) return true;
    out_->write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
    buf_.clear();
    if (!*out_) {
        result_ = kWriteFailed;
        return false;
    }
    return true;
}

int TJDTextWriter::Write(std::ostream& out) {
    out_ = &out;
    result_ = kWriteOk;
    buf_.clear();
    prevPar_ = nullptr;
    if (!rangeSet_) {
        startPar_ = model_->FirstParagraph();
        startLine_ = nullptr;
        startPos_ = 0;
        endPar_ = nullptr;
        endLine_ = nullptr;
        endPos_ = -1;
    }
    bool ok = BeginDocument() && Flush();
    if (!ok) {
        if (result_ == kWriteOk) result_ = kWriteFailed;
        return result_;
    }
    ok = WriteRange();
    bool endOk = EndDocument() && Flush();
    if (result_ == kWriteOk && !endOk) result_ = kWriteFailed;
    if (result_ == kWriteOk && !ok) result_ = kWriteFailed;
    out_->flush();
    if (result_ == kWriteOk && !*out_) result_ = kWriteFailed;
    return result_;
}

bool TJDTextWriter::WriteRange() {
    if (!startPar_) {
        result_ = kWriteNothing;
        return false;
    }
    TParagraph* endPar = endPar_ ? endPar_ : model_->LastParagraph();
    TLine* endLine = endLine_ ? endLine_ : TJDRTFText::LastLine(endPar);
    toWrite_ = 0;
    for (TParagraph* p = startPar_; p; p = p->next) {
        for (TLine* l = p->lines; l; l = l->next) toWrite_ += l->Length();
        if (p == endPar) break;
    }
    written_ = 0;
    ProgressStart(100);
    bool ok = true;
    for (TParagraph* p = startPar_; p && ok; p = p->next) {
        curPar_ = p;
        ok = StartParagraph(p);
        TLine* first = (p == startPar_ && startLine_) ? startLine_ : p->lines;
        for (TLine* l = first; l && ok; l = l->next) {
            curLine_ = l;
            int from = (p == startPar_ && l == first) ? std::min(startPos_, l->Length()) : 0;
            bool isEnd = p == endPar && l == endLine;
            int to = (isEnd && endPos_ >= 0) ? std::min(endPos_, l->Length()) : l->Length();
            if (to > from) ok = WriteLine(l, from, to);
            written_ += l->Length();
            if (isEnd) break;
            if (ok && l->next) ok = BetweenLines();
        }
        bool last = p == endPar || !p->next;
        if (ok && (!last || p->IsCell())) ok = EndParagraph(p, last);
        ProgressUpdate(written_, toWrite_);
        prevPar_ = p;
        if (last) break;
    }
    ProgressEnd();
    if (!ok && result_ == kWriteOk) result_ = kWriteFailed;
    return ok;
}

bool TJDTextWriter::WriteLine(TLine* line, int from, int to) {
    const std::string& t = line->text;
    if (!model_->RichText() || line->attrs.size() < t.size())
        return WriteText(std::string_view(t).substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
    int i = from;
    while (i < to) {
        const TJDCharAttr& a = line->attrs[i];
        if ((leaveOutInsertPointText && (a.style & kStyleInsertPoint)) ||
            (leaveOutAutomaticText && (a.style & kStyleAutomatic))) {
            ++i;
            continue;
        }
        if (!WriteAttr(a)) return false;
        unsigned char c = static_cast<unsigned char>(t[i]);
        if ((c == 1 || c == 2) && (a.style & kStyleObject)) {
            if (!WriteObject(line, i)) return false;
            ++i;
            continue;
        }
        if (a.style & kStyleFootnote) {
            if (!WriteFootnote(line, i)) return false;
            ++i;
            continue;
        }
        int j = i + 1;
        if (!(a.style & kStyleInsertPoint))
            while (j < to && SameRun(line->attrs[j], a)) ++j;
        if (!WriteText(std::string_view(t).substr(static_cast<std::size_t>(i), static_cast<std::size_t>(j - i))))
            return false;
        i = j;
    }
    return true;
}

bool TJDPlainTextWriter::WriteLine(TLine* line, int from, int to) {
    return WriteText(std::string_view(line->text).substr(static_cast<std::size_t>(from),
                                                         static_cast<std::size_t>(to - from)));
}

}  // namespace richtext
