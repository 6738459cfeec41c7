#include "platform/gui/menus.h"

#include "platform/core/codepage.h"
#include "platform/gui/control_widget.h"
#include "platform/gui/controls_support.h"
#include "platform/gui/forms.h"
#include "platform/gui/qt_bridge.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>
#include <map>

namespace gui {

// --- short-cuts ----------------------------------------------------------------------

TShortCut ShortCut(unsigned key, TShiftState shift) {
    if (key & 0xFF00) return 0;
    TShortCut s = static_cast<TShortCut>(key);
    if (shift & ssShift) s |= scShift;
    if (shift & ssCtrl) s |= scCtrl;
    if (shift & ssAlt) s |= scAlt;
    return s;
}

void ShortCutToKey(TShortCut sc, unsigned& key, TShiftState& shift) {
    key = sc & 0xFF;
    shift = 0;
    if (sc & scShift) shift |= ssShift;
    if (sc & scCtrl) shift |= ssCtrl;
    if (sc & scAlt) shift |= ssAlt;
}

namespace {

struct KeyName {
    unsigned key;
    const char* name;
};

const KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"}, {VK_TAB, "Tab"},     {VK_ESCAPE, "Esc"},   {VK_RETURN, "Enter"},  {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"},  {VK_END, "End"},      {VK_HOME, "Home"},     {VK_LEFT, "Left"},
    {VK_UP, "Up"},      {VK_RIGHT, "Right"}, {VK_DOWN, "Down"},   {VK_INSERT, "Ins"},    {VK_DELETE, "Del"},
};

std::string KeyText(unsigned key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, static_cast<char>(key));
    if (key >= VK_F1 && key <= VK_F1 + 23) return "F" + std::to_string(key - VK_F1 + 1);
    for (const KeyName& k : kKeyNames)
        if (k.key == key) return k.name;
    return {};
}

std::string StripAmpersands(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') out += '&', ++i;
            continue;
        }
        out += s[i];
    }
    return out;
}

unsigned NextCommand() {
    static unsigned next = 1;
    return next++;
}

}  // namespace

std::string ShortCutToText(TShortCut sc) {
    std::string name = KeyText(sc & 0xFF);
    if (name.empty()) return {};
    std::string out;
    if (sc & scShift) out += "Shift+";
    if (sc & scCtrl) out += "Ctrl+";
    if (sc & scAlt) out += "Alt+";
    return out + name;
}

TShortCut TextToShortCut(const std::string& text) {
    std::string rest = text;
    TShortCut mods = 0;
    for (;;) {
        bool found = false;
        for (auto [prefix, bit] : {std::pair<const char*, TShortCut>{"Shift+", scShift}, {"Ctrl+", scCtrl}, {"Alt+", scAlt}}) {
            std::size_t n = std::char_traits<char>::length(prefix);
            if (rest.size() > n && plat::CompareAnsi(std::string_view(rest).substr(0, n), prefix, true) == 0) {
                mods |= bit;
                rest = rest.substr(n);
                found = true;
            }
        }
        if (!found) break;
    }
    for (unsigned key = 1; key < 256; ++key) {
        std::string name = KeyText(key);
        if (!name.empty() && plat::CompareAnsi(name, rest, true) == 0) return static_cast<TShortCut>(key | mods);
    }
    return 0;
}

// ===========================================================================
// TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), command_(NextCommand()) {}

TMenuItem::~TMenuItem() {
    // Sub-items without an owner of their own go with their parent.
    for (TMenuItem* item : std::vector<TMenuItem*>(items_)) {
        item->parent_ = nullptr;
        if (!item->Owner()) delete item;
    }
    items_.clear();
    if (parent_) parent_->Remove(this);
}

void TMenuItem::SetCaption(const std::string& c) {
    caption_ = c;
    Changed();
}

void TMenuItem::SetChecked(bool c) {
    checked_ = c;
    if (c && RadioItem && parent_) {
        for (TMenuItem* sibling : parent_->items_)
            if (sibling != this && sibling->RadioItem && sibling->GroupIndex == GroupIndex) sibling->checked_ = false;
    }
    Changed();
}

void TMenuItem::Changed() {
    if (TMenu* menu = GetParentMenu()) menu->ItemsChanged();
}

char TMenuItem::Accelerator() const {
    for (std::size_t i = 0; i + 1 < caption_.size(); ++i) {
        if (caption_[i] != '&') continue;
        if (caption_[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(plat::CharUpper(static_cast<unsigned char>(caption_[i + 1])));
    }
    return 0;
}

void TMenuItem::Click() {
    if (OnClick) OnClick(this);
}

int TMenuItem::MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (!item || item == this) return;
    if (item->parent_) item->parent_->Remove(item);
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    Changed();
}

void TMenuItem::Remove(TMenuItem* item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    items_.erase(it);
    item->parent_ = nullptr;
    Changed();
}

void TMenuItem::Delete(int index) {
    TMenuItem* item = items_.at(index);
    Remove(item);
    delete item;
}

void TMenuItem::Clear() {
    while (!items_.empty()) Delete(Count() - 1);
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TMenuItem* TMenuItem::Find(const std::string& caption) const {
    std::string want = StripAmpersands(caption);
    for (TMenuItem* item : items_)
        if (plat::CompareAnsi(StripAmpersands(item->caption_), want, true) == 0) return item;
    return nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* root = this;
    while (root->parent_) root = root->parent_;
    return root->menu_;
}

// ===========================================================================
// TMenu

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), items_(std::make_unique<TMenuItem>(nullptr)) {
    items_->menu_ = this;
    hook_ = AddShortCutHandler([this](TWinControl* focused, unsigned key, TShiftState shift) {
        return HandlesKeysFor(focused) && IsShortCut(key, shift);
    });
}

TMenu::~TMenu() { RemoveShortCutHandler(hook_); }

std::vector<TMenuItem*> TMenu::TopItems() const { return items_->items_; }

namespace {

TMenuItem* FindByCommand(TMenuItem* item, unsigned command) {
    if (item->Command() == command) return item;
    for (int i = 0; i < item->Count(); ++i)
        if (TMenuItem* found = FindByCommand(item->Items(i), command)) return found;
    return nullptr;
}

TMenuItem* FindByShortCut(TMenuItem* item, TShortCut sc) {
    if (item->ShortCut == sc && !item->IsLine()) return item;
    for (int i = 0; i < item->Count(); ++i)
        if (TMenuItem* found = FindByShortCut(item->Items(i), sc)) return found;
    return nullptr;
}

}  // namespace

TMenuItem* TMenu::FindItem(unsigned command) const {
    for (TMenuItem* top : TopItems())
        if (TMenuItem* found = FindByCommand(top, command)) return found;
    return nullptr;
}

bool TMenu::IsShortCut(unsigned key, TShiftState shift) {
    TShortCut sc = ShortCut(key, shift & (ssShift | ssCtrl | ssAlt));
    if (!sc) return false;
    TMenuItem* item = nullptr;
    for (TMenuItem* top : TopItems())
        if ((item = FindByShortCut(top, sc))) break;
    if (!item) return false;
    // The chain from the top: each parent is clicked so it can update its
    // sub-items, and a hidden or disabled one stops the key.
    std::vector<TMenuItem*> chain;
    for (TMenuItem* p = item->Parent(); p && p->Parent(); p = p->Parent()) chain.insert(chain.begin(), p);
    for (TMenuItem* p : chain) {
        if (!p->Enabled || !p->Visible) return false;
        p->Click();
    }
    if (!item->Enabled || !item->Visible) return false;
    item->Click();
    return true;
}

bool TMenu::DispatchCommand(unsigned command) {
    TMenuItem* item = FindItem(command);
    if (!item) return false;
    if (item->Enabled) item->Click();
    return true;
}

// ===========================================================================
// TMainMenu

namespace {
int BuildMenuBar(TForm* form, TMainMenu* menu);
void RebuildBarsOf(TMainMenu* menu);
QMenuBar* BarOf(QWidget* formWidget);
void SyncBar(TForm* form);
}  // namespace

TMainMenu::TMainMenu(TComponent* AOwner) : TMenu(AOwner) {
    form_ = dynamic_cast<TWinControl*>(AOwner);
    SetMenuBarBuilder(&BuildMenuBar);
}

TMainMenu::~TMainMenu() {
    if (merged_) merged_->mergedInto_ = nullptr;
    if (mergedInto_) mergedInto_->Unmerge(this);
}

void TMainMenu::Merge(TMainMenu* menu) {
    if (menu == this || menu == merged_) return;
    if (merged_) {
        merged_->RemoveFreeNotification(this);
        merged_->mergedInto_ = nullptr;
    }
    merged_ = menu;
    if (menu) {
        if (menu->mergedInto_ && menu->mergedInto_ != this) menu->mergedInto_->Unmerge(menu);
        menu->mergedInto_ = this;
        menu->FreeNotification(this);
    }
    RebuildBarsOf(this);
}

void TMainMenu::ItemsChanged() { RebuildBarsOf(this); }

bool TMainMenu::IsShortCut(unsigned key, TShiftState shift) {
    if ((shift & (ssAlt | ssCtrl)) == ssAlt && ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))) {
        auto* form = dynamic_cast<TForm*>(form_);
        QMenuBar* bar = form && form->Menu() == this ? BarOf(form->Widget()) : nullptr;
        if (bar) {
            SyncBar(form);
            bar = BarOf(form->Widget());
            std::vector<TMenuItem*> shown;
            for (TMenuItem* item : TopItems())
                if (item->Visible) shown.push_back(item);
            QList<QAction*> actions = bar ? bar->actions() : QList<QAction*>();
            for (std::size_t i = 0; i < shown.size() && static_cast<int>(i) < actions.size(); ++i) {
                TMenuItem* item = shown[i];
                if (item->IsLine() || item->Accelerator() != static_cast<char>(key)) continue;
                if (!item->Enabled) return true;
                if (item->Count() > 0) bar->setActiveAction(actions[static_cast<int>(i)]);
                else item->Click();
                return true;
            }
        }
    }
    return TMenu::IsShortCut(key, shift);
}

void TMainMenu::Unmerge(TMainMenu* menu) {
    if (menu && menu == merged_) Merge(nullptr);
}

void TMainMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TMenu::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == merged_) {
        merged_ = nullptr;
        RebuildBarsOf(this);
    }
    if (Operation == opRemove && AComponent == form_) form_ = nullptr;
}

std::vector<TMenuItem*> TMainMenu::TopItems() const {
    std::vector<TMenuItem*> own = TMenu::TopItems();
    if (!merged_) return own;
    std::vector<TMenuItem*> other = merged_->Items()->items_;
    // Groups the merged menu brings replace ours.
    std::vector<TMenuItem*> out;
    for (TMenuItem* item : own) {
        bool replaced = std::any_of(other.begin(), other.end(), [&](TMenuItem* o) { return o->GroupIndex == item->GroupIndex; });
        if (!replaced) out.push_back(item);
    }
    for (TMenuItem* o : other) {
        auto at = std::find_if(out.begin(), out.end(), [&](TMenuItem* i) { return i->GroupIndex > o->GroupIndex; });
        out.insert(at, o);
    }
    return out;
}

bool TMainMenu::HandlesKeysFor(TWinControl* focused) const {
    if (!form_ || !focused) return false;
    return focused == form_ || form_->ContainsControl(focused) || focused->ParentForm() == form_;
}

namespace {

// Takes the actions out of a menu or bar. They may be the sender of the
// signal being handled (a click that changes the menu), so they go later.
void ClearMenu(QWidget* menu) {
    for (QAction* a : menu->actions()) {
        menu->removeAction(a);
        a->disconnect();
        if (QMenu* sub = a->menu(); sub && sub->parent() == menu) sub->deleteLater();
        else if (a->parent() == menu) a->deleteLater();
    }
}

void FillMenu(QWidget* menu, const std::vector<TMenuItem*>& items);

std::vector<TMenuItem*> SubItems(const TMenuItem* item) {
    std::vector<TMenuItem*> children;
    for (int i = 0; i < item->Count(); ++i) children.push_back(item->Items(i));
    return children;
}

void FillMenu(QWidget* menu, const std::vector<TMenuItem*>& items) {
    std::map<int, QActionGroup*> groups;
    for (TMenuItem* item : items) {
        if (!item->Visible) continue;
        if (item->IsLine()) {
            auto* line = new QAction(menu);
            line->setSeparator(true);
            menu->addAction(line);
            continue;
        }
        QString text = ToQString(item->Caption());
        std::string sc = ShortCutToText(item->ShortCut);
        // The key shows in the menu's short-cut column; the key itself is
        // handled by the menu, not by Qt, so it works with the menu closed.
        if (!sc.empty()) text += "\t" + ToQString(sc);
        unsigned command = item->Command();
        TMenu* owner = item->GetParentMenu();
        if (item->Count() > 0) {
            auto* sub = new QMenu(text, menu);
            menu->addAction(sub->menuAction());
            sub->setEnabled(item->Enabled);
            FillMenu(sub, SubItems(item));
            QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, owner, command] {
                RunGuarded([&] {
                    // Clicked as it opens so it can update its items, then shown
                    // as they are now. Looked up again: it may have gone.
                    TMenuItem* it = owner ? owner->FindItem(command) : nullptr;
                    if (!it) return;
                    it->Click();
                    if (!(it = owner->FindItem(command))) return;
                    ClearMenu(sub);
                    FillMenu(sub, SubItems(it));
                });
            });
            continue;
        }
        auto* a = new QAction(text, menu);
        menu->addAction(a);
        a->setEnabled(item->Enabled);
        if (item->Checked() || item->RadioItem) {
            a->setCheckable(true);
            a->setChecked(item->Checked());
        }
        if (item->RadioItem) {
            QActionGroup*& g = groups[item->GroupIndex];
            if (!g) g = new QActionGroup(menu);
            g->addAction(a);
        }
        if (item->Default) {
            QFont f = a->font();
            f.setBold(true);
            a->setFont(f);
        }
        QObject::connect(a, &QAction::triggered, [owner, command] {
            // Looked up again: the item may have gone while the menu was open.
            RunGuarded([&] {
                if (owner) owner->DispatchCommand(command);
            });
        });
    }
}

QMenuBar* BarOf(QWidget* formWidget) {
    auto* w = dynamic_cast<ControlWidget*>(formWidget);
    return w ? qobject_cast<QMenuBar*>(w->topBar) : nullptr;
}

// Brings the bar's top items up to date with the Enabled and Visible fields,
// which change without telling the menu.
void SyncBar(TForm* form);

class BarFilter : public QObject {
public:
    explicit BarFilter(TForm* form, QObject* parent) : QObject(parent), form_(form) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress) SyncBar(form_);
        return false;
    }

private:
    TForm* form_;
};

int BuildMenuBar(TForm* form, TMainMenu* menu) {
    auto* w = static_cast<ControlWidget*>(form->Widget());
    QMenuBar* bar = BarOf(w);
    // A menu that merges into the main form's shows there, not on its own form.
    TForm* mainForm = Application ? Application->MainForm() : nullptr;
    if (menu && menu->AutoMerge && mainForm && mainForm != form && mainForm->Menu() && mainForm->Menu() != menu) {
        mainForm->Menu()->Merge(menu);
        menu = nullptr;
    }
    // The menu answers the keys of the form that shows it, whoever owns it.
    if (menu && menu->Form() != form) {
        menu->SetForm(form);
        form->FreeNotification(menu);
    }
    std::vector<TMenuItem*> items;
    if (menu) items = menu->MergedItems();
    bool any = std::any_of(items.begin(), items.end(), [](TMenuItem* i) { return i->Visible; });
    if (!any) {
        if (bar) {
            bar->hide();
            ClearMenu(bar);
            bar->deleteLater();
            w->topBar = nullptr;
        }
        return 0;
    }
    if (!bar) {
        bar = new QMenuBar(w);
        bar->setNativeMenuBar(false);
        bar->installEventFilter(new BarFilter(form, bar));
        w->topBar = bar;
    }
    ClearMenu(bar);
    FillMenu(bar, items);
    int h = bar->sizeHint().height();
    bar->setGeometry(0, 0, w->width(), h);
    bar->show();
    return h;
}

void SyncBar(TForm* form) {
    QMenuBar* bar = BarOf(form->Widget());
    TMainMenu* menu = form->Menu();
    if (!bar || !menu) return;
    std::vector<TMenuItem*> shown;
    for (TMenuItem* item : menu->MergedItems())
        if (item->Visible) shown.push_back(item);
    QList<QAction*> actions = bar->actions();
    bool same = static_cast<int>(shown.size()) == actions.size();
    for (std::size_t i = 0; same && i < shown.size(); ++i)
        if (actions[static_cast<int>(i)]->isSeparator() != shown[i]->IsLine()) same = false;
    if (!same) {
        form->MenuChanged();
        return;
    }
    for (std::size_t i = 0; i < shown.size(); ++i) actions[static_cast<int>(i)]->setEnabled(shown[i]->Enabled);
}

// The forms whose bar shows `menu`'s items: its own form's, and the bars of
// the menus it is merged into.
void RebuildBarsOf(TMainMenu* menu) {
    for (TMainMenu* m = menu; m; m = m->MergedInto()) {
        auto* form = dynamic_cast<TForm*>(m->Form());
        if (form && form->Menu() == m) form->MenuChanged();
    }
}

}  // namespace

void TMainMenu::FillQMenu(QMenu* menu) const { FillMenu(menu, TopItems()); }

QWidget* MenuBarOf(TWinControl* form) { return form ? BarOf(form->Widget()) : nullptr; }

// ===========================================================================
// TPopupMenu and the control association

namespace {

class PopupRegistry : public TComponent {
public:
    PopupRegistry() : TComponent(nullptr) {}
    std::map<const TControl*, TPopupMenu*> menus;

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op != opRemove) return;
        for (auto it = menus.begin(); it != menus.end();) {
            if (it->first == c || it->second == c) it = menus.erase(it);
            else ++it;
        }
    }
};

PopupRegistry& Registry() {
    static auto* r = new PopupRegistry;  // lives to the end: controls may outlive statics
    return *r;
}

TPopupMenu* PopupMenuFor(TControl* control) {
    for (TControl* c = control; c; c = c->Parent())
        if (TPopupMenu* m = GetPopupMenu(c)) return m;
    return nullptr;
}

class ContextFilter : public QObject {
public:
    bool eventFilter(QObject* target, QEvent* e) override {
        if (e->type() != QEvent::MouseButtonRelease) return false;
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() != Qt::RightButton) return false;
        auto* w = dynamic_cast<ControlWidget*>(target);
        if (!w || !w->Control()) return false;
        TControl* control = w->Control();
        QPoint local = me->position().toPoint();
        if (TControl* child = w->Control()->ControlAtPos({local.x(), local.y()})) control = child;
        TPopupMenu* menu = PopupMenuFor(control);
        if (!menu || !menu->AutoPopup) return false;
        menu->PopupComponent = control;
        QPoint global = me->globalPosition().toPoint();
        menu->Popup(global.x(), global.y());
        return false;
    }
};

}  // namespace

void SetPopupMenu(TControl* control, TPopupMenu* menu) {
    PopupRegistry& r = Registry();
    if (!control) return;
    if (!menu) {
        r.menus.erase(control);
        return;
    }
    static ContextFilter* filter = nullptr;
    if (!filter) {
        EnsureQtApplication();
        filter = new ContextFilter;
        QCoreApplication::instance()->installEventFilter(filter);
    }
    r.menus[control] = menu;
    control->FreeNotification(&r);
    menu->FreeNotification(&r);
}

TPopupMenu* GetPopupMenu(const TControl* control) {
    auto& m = Registry().menus;
    auto it = m.find(control);
    return it == m.end() ? nullptr : it->second;
}

struct TPopupMenu::Shown {
    std::unique_ptr<QMenu> menu;
};

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner), shown_(std::make_unique<Shown>()) {}

TPopupMenu::~TPopupMenu() = default;

QMenu* TPopupMenu::ShownMenu() const { return shown_->menu.get(); }

void TPopupMenu::Popup(int X, int Y) {
    if (OnPopup) OnPopup(this);
    shown_->menu = std::make_unique<QMenu>();
    std::vector<TMenuItem*> items = TopItems();
    FillMenu(shown_->menu.get(), items);
    QSize size = shown_->menu->sizeHint();
    int x = Alignment == paRight ? X - size.width() : Alignment == paCenter ? X - size.width() / 2 : X;
    shown_->menu->popup(QPoint(x, Y));
}

bool TPopupMenu::HandlesKeysFor(TWinControl* focused) const {
    for (TControl* c = focused; c; c = c->Parent())
        if (GetPopupMenu(c) == this) return true;
    return false;
}

}  // namespace gui
