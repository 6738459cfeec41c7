#include "data/vl_intl.h"

#include <vector>

namespace vl {

namespace {

TvlIntl* g_intl = nullptr;
// Holds the global instance when there is no process owner to own it.
std::unique_ptr<TvlIntl>& Unowned() {
    static std::unique_ptr<TvlIntl> p;
    return p;
}

}  // namespace

TvlIntl::TvlIntl(plat::TComponent* AOwner)
    : plat::TComponent(AOwner),
      searchDialog_(std::make_unique<TvlSearchDialogIntl>()),
      locateDialog_(std::make_unique<TvlLocateDialogIntl>()),
      filterDialog_(std::make_unique<TvlFilterDialogIntl>()),
      richEdit_(std::make_unique<TvlDBRichEditIntl>()),
      userMessages_(std::make_unique<TvlUserMessagesIntl>()) {}

TvlIntl::~TvlIntl() {
    if (g_intl == this) g_intl = nullptr;
}

void TvlIntl::ForEachText(const std::function<void(const std::string&, const std::string&, std::string&)>& f) {
    auto group = [&](const char* name, auto& g) {
        g.ForEachItem([&](const char* item, std::string& text) { f(name, item, text); });
    };
    group("SearchDialog", *searchDialog_);
    group("LocateDialog", *locateDialog_);
    group("FilterDialog", *filterDialog_);
    group("RichEdit", *richEdit_);
    group("RichEdit.MenuLabels", richEdit_->MenuLabels());
    group("RichEdit.PopupMenuLabels", richEdit_->PopupMenuLabels());
    group("RichEdit.ParagraphDialog", richEdit_->ParagraphDialog());
    group("RichEdit.TabDialog", richEdit_->TabDialog());
    group("UserMessages", *userMessages_);
}

std::string TvlIntl::Text(const std::string& group, const std::string& item) {
    std::string out;
    ForEachText([&](const std::string& g, const std::string& i, std::string& text) {
        if (g == group && i == item) out = text;
    });
    return out;
}

bool TvlIntl::SetText(const std::string& group, const std::string& item, const std::string& value) {
    bool found = false;
    ForEachText([&](const std::string& g, const std::string& i, std::string& text) {
        if (g == group && i == item) {
            text = value;
            found = true;
        }
    });
    return found;
}

void TvlIntl::CopyTextsToGlobal() {
    TvlIntl* global = GlobalIntl();
    if (!global || global == this) return;
    std::vector<std::string> texts;
    ForEachText([&](const std::string&, const std::string&, std::string& text) { texts.push_back(text); });
    std::size_t i = 0;
    global->ForEachText([&](const std::string&, const std::string&, std::string& text) { text = texts.at(i++); });
    global->BtnOKCaption = BtnOKCaption;
    global->BtnCancelCaption = BtnCancelCaption;
    global->OKCancelBitmapped = OKCancelBitmapped;
    global->DialogFontStyle = DialogFontStyle;
    global->checkBoxStyle_ = checkBoxStyle_;
}

void TvlIntl::SetConnected(bool value) {
    connected_ = value;
    if (value && !IsLoading()) CopyTextsToGlobal();
}

void TvlIntl::Loaded() {
    plat::TComponent::Loaded();
    if (connected_) CopyTextsToGlobal();
}

void TvlIntl::SetCheckBoxInGridStyle(TvlCheckBoxInGridStyle value) {
    checkBoxStyle_ = value;
    TvlIntl* global = GlobalIntl();
    if (connected_ && global && global != this) global->checkBoxStyle_ = value;
}

TvlIntl* GlobalIntl() { return g_intl; }

TvlIntl& CreateGlobalIntl() {
    if (g_intl) return *g_intl;
    if (plat::TComponent* owner = plat::ProcessOwner()) {
        g_intl = new TvlIntl(owner);  // the owner frees it
    } else {
        Unowned() = std::make_unique<TvlIntl>(nullptr);
        g_intl = Unowned().get();
    }
    return *g_intl;
}

}  // namespace vl
