// The rich-text word scan over a bare editing engine: what TJDBuf reads when
// the text lives in an engine without an edit control (hidden buffers,
// tests), and what the rich-text edit control wraps around its own engine.
#pragma once

#include "richtext/spell/text_sources.h"
#include "richtext/view/word_scan.h"

namespace spell {

class TEngineWordSource : public IRichEditWordScan {
public:
    explicit TEngineWordSource(richtext::TJDRTFTextInput& engine) : scan_(engine) {}

    void ResetWordScan() override { scan_.ResetWordScan(); }
    void WordScanFromCursor() override { scan_.WordScanFromCursor(); }
    std::string NextWord() override { return scan_.NextWord(); }
    void SelectFoundWord() override { scan_.SelectFoundWord(); }
    void SetSelText(const std::string& text) override {
        if (scan_.SetSelText(text)) modified_ = true;
    }
    int GetSelStart() const override { return scan_.GetSelStart(); }
    int GetSelLength() const override { return scan_.GetSelLength(); }
    void SetSelStart(int pos) override { scan_.SetSelStart(pos); }
    void SetSelLength(int len) override { scan_.SetSelLength(len); }
    bool GetModified() const override { return modified_; }
    void SetModified(bool m) override { modified_ = m; }

    richtext::TJDWordScan& Scan() { return scan_; }

private:
    richtext::TJDWordScan scan_;
    bool modified_ = false;
};

}  // namespace spell
