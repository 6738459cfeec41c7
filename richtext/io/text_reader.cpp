#include "richtext/io/text_reader.h"

namespace richtext {

namespace {
constexpr std::int64_t kProgressEvery = 64 * 1024;
}

TJDTextReader::TJDTextReader() { attr_.size = 10; }

void TJDTextReader::SetStream(std::istream* in) {
    in_ = in;
    bufFill_ = bufPos_ = 0;
    bufStreamPos_ = 0;
    streamSize_ = 0;
    if (!in_) return;
    std::streampos start = in_->tellg();
    bufStreamPos_ = start < 0 ? 0 : static_cast<std::int64_t>(start);
    if (start >= 0) {
        in_->seekg(0, std::ios::end);
        std::streampos end = in_->tellg();
        if (end >= 0) streamSize_ = static_cast<std::int64_t>(end) - bufStreamPos_;
        in_->seekg(start);
    }
    in_->clear();
}

int TJDTextReader::Refill() {
    if (!in_) return -1;
    bufStreamPos_ += static_cast<std::int64_t>(bufFill_);
    in_->read(buf_.data(), static_cast<std::streamsize>(buf_.size()));
    bufFill_ = static_cast<std::size_t>(in_->gcount());
    bufPos_ = 0;
    if (bufFill_ == 0) return -1;
    return static_cast<unsigned char>(buf_[bufPos_++]);
}

void TJDTextReader::UngetChar() {
    if (bufPos_ > 0) --bufPos_;
}

void TJDTextReader::EscapeFound(int ch) { InsertCharacter(ch); }

void TJDTextReader::HandleChar(int ch) {
    if (ch == '\r') {
        EndParagraph();
    } else if (ch == '\n') {
        return;
    } else if (ch == static_cast<unsigned char>(escapeChar)) {
        EscapeFound(ch);
    } else {
        InsertCharacter(ch);
    }
}

void TJDTextReader::InsertCharacter(int ch) {
    if (line_->Length() >= kMaxLineLength) line_ = model_->NewLineAfter(par_, line_);
    TJDCharAttr a = attr_;
    if (automaticText) a.style |= kStyleAutomatic;
    model_->InsertChar(line_, ch, a);
}

void TJDTextReader::EndParagraph() {
    par_->state |= kParNeedsLayout;
    TParagraph* np = model_->NewParagraph(par_);
    np->state |= kParNeedsLayout;
    par_ = np;
    line_ = np->lines;
}

void TJDTextReader::UpdateProgress() {
    std::int64_t at = bufStreamPos_ + static_cast<std::int64_t>(bufPos_);
    if (at - lastProgressAt_ < kProgressEvery) return;
    lastProgressAt_ = at;
    ProgressUpdate(at, streamSize_);
}

int TJDTextReader::ReadAll() {
    for (int c = GetChar(); c >= 0; c = GetChar()) {
        HandleChar(c);
        if ((bufPos_ & 1023) == 0) UpdateProgress();
    }
    return 0;
}

int TJDTextReader::Read(std::istream& in, TParagraph** firstRead) {
    if (!model_) throw ERichTextError(WrongArgumentsText());
    SetStream(&in);
    par_ = model_->LastParagraph();
    line_ = TJDRTFText::LastLine(par_);
    firstPar_ = par_;
    par_->state |= kParNeedsLayout;
    lastProgressAt_ = 0;
    ProgressStart(100);
    int result = 0;
    try {
        result = ReadAll();
    } catch (...) {
        ProgressEnd();
        throw;
    }
    // Leave the stream just after what was consumed, so that data following
    // the document stays unread.
    in.clear();
    in.seekg(bufStreamPos_ + static_cast<std::int64_t>(bufPos_));
    ProgressEnd();
    if (firstRead) *firstRead = firstPar_;
    return result;
}

}  // namespace richtext
