// Small helpers shared by the reader, writer and round-trip tests.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "richtext/io/text_reader.h"
#include "richtext/io/text_writer.h"

namespace rtftest {

struct Loaded {
    std::unique_ptr<richtext::TJDRTFText> model = std::make_unique<richtext::TJDRTFText>();
    int result = -1;
    std::streamoff endPos = -1;  // stream position after the read
};

inline Loaded ReadRtf(const std::string& rtf, bool keepHeader = false) {
    Loaded l;
    std::istringstream in(rtf);
    richtext::TJDRtfReader reader;
    reader.SetModel(l.model.get());
    reader.keepHeader = keepHeader;
    l.result = reader.Read(in);
    l.endPos = in.tellg();
    return l;
}

inline std::string WriteRtf(richtext::TJDRTFText& model, int* result = nullptr) {
    std::ostringstream out;
    richtext::TJDRTFWriter writer(&model);
    int r = writer.Write(out);
    if (result) *result = r;
    return out.str();
}

inline std::vector<std::string> Paragraphs(const richtext::TJDRTFText& m) {
    std::vector<std::string> v;
    for (auto* p = m.FirstParagraph(); p; p = p->next) v.push_back(m.ParagraphText(p));
    return v;
}

// The attribute of the first occurrence of `text` in the document.
inline const richtext::TJDCharAttr* AttrOf(const richtext::TJDRTFText& m, const std::string& text) {
    for (auto* p = m.FirstParagraph(); p; p = p->next)
        for (auto* l = p->lines; l; l = l->next) {
            auto at = l->text.find(text);
            if (at != std::string::npos && at < l->attrs.size()) return &l->attrs[at];
        }
    return nullptr;
}

}  // namespace rtftest
