#include "platform/core/component.h"

#include "platform/core/codepage.h"
#include "platform/core/exceptions.h"

#include <cxxabi.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <typeinfo>
#include <unordered_map>

namespace plat {

namespace {

bool IsValidIdent(const std::string& s) {
    if (s.empty()) return false;
    auto first = static_cast<unsigned char>(s[0]);
    if (!(first == '_' || (first < 128 && std::isalpha(first)))) return false;
    return std::all_of(s.begin(), s.end(), [](char ch) {
        auto c = static_cast<unsigned char>(ch);
        return c == '_' || (c < 128 && std::isalnum(c));
    });
}

// ---- class names and the class chain, from the compiler's type records ----

std::string ShortName(const std::type_info& ti) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> full(abi::__cxa_demangle(ti.name(), nullptr, nullptr, &status), std::free);
    std::string name = status == 0 && full ? std::string(full.get()) : std::string(ti.name());
    // Drop the namespaces, but not a "::" inside template arguments.
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '<') ++depth;
        else if (name[i] == '>') --depth;
        else if (depth == 0 && name[i] == ':' && i + 1 < name.size() && name[i + 1] == ':') start = i + 2;
    }
    return name.substr(start);
}

// Nearest first, depth first through every base (a class with several bases
// lists each base's line in declaration order).
void Chain(const std::type_info& ti, std::vector<const std::type_info*>& out) {
    if (std::find(out.begin(), out.end(), &ti) != out.end()) return;
    out.push_back(&ti);
    if (auto si = dynamic_cast<const abi::__si_class_type_info*>(&ti)) {
        Chain(*si->__base_type, out);
    } else if (auto vmi = dynamic_cast<const abi::__vmi_class_type_info*>(&ti)) {
        for (unsigned i = 0; i < vmi->__base_count; ++i) Chain(*vmi->__base_info[i].__base_type, out);
    }
}

struct ClassRecord {
    std::vector<const std::type_info*> chain;
    std::vector<std::string> names;
};

// Class records are built once per class and kept: grids and controls ask
// for class names while painting.
const ClassRecord& RecordOf(const std::type_info& ti) {
    static std::mutex lock;
    static std::unordered_map<std::type_index, std::unique_ptr<ClassRecord>> cache;
    std::lock_guard<std::mutex> g(lock);
    auto& slot = cache[std::type_index(ti)];
    if (!slot) {
        slot = std::make_unique<ClassRecord>();
        Chain(ti, slot->chain);
        for (const std::type_info* t : slot->chain) slot->names.push_back(ShortName(*t));
    }
    return *slot;
}

// ---- published properties --------------------------------------------------

struct PropRegistry {
    std::mutex lock;
    std::map<std::type_index, std::vector<std::unique_ptr<TPropInfo>>> byClass;
};

PropRegistry& Props() {
    static PropRegistry* r = [] {
        auto* reg = new PropRegistry;
        auto add = [&](TPropInfo p) {
            reg->byClass[std::type_index(typeid(TComponent))].push_back(std::make_unique<TPropInfo>(std::move(p)));
        };
        add({"Name", tkLString, {},
             [](const TObject* o) { return std::any(static_cast<const TComponent*>(o)->Name()); },
             [](TObject* o, const std::any& v) { static_cast<TComponent*>(o)->SetName(std::any_cast<std::string>(v)); }});
        add({"Tag", tkInteger, {},
             [](const TObject* o) { return std::any(static_cast<const TComponent*>(o)->Tag); },
             [](TObject* o, const std::any& v) { static_cast<TComponent*>(o)->Tag = std::any_cast<long>(v); }});
        return reg;
    }();
    return *r;
}

}  // namespace

std::string ClassNameOf(const std::type_info& type) { return ShortName(type); }

std::string TObject::ClassName() const { return RecordOf(typeid(*this)).names.front(); }

std::vector<std::string> TObject::ClassChain() const { return RecordOf(typeid(*this)).names; }

bool TObject::InheritsFrom(const std::string& className) const {
    for (const std::string& n : RecordOf(typeid(*this)).names)
        if (CompareAnsi(n, className, true) == 0) return true;
    return false;
}

void RegisterProperty(std::type_index cls, TPropInfo info) {
    PropRegistry& r = Props();
    std::lock_guard<std::mutex> g(r.lock);
    auto& list = r.byClass[cls];
    for (auto& p : list)
        if (CompareAnsi(p->Name, info.Name, true) == 0) {
            *p = std::move(info);
            return;
        }
    list.push_back(std::make_unique<TPropInfo>(std::move(info)));
}

const TPropInfo* GetPropInfo(const TObject* obj, const std::string& name) {
    if (!obj) return nullptr;
    PropRegistry& r = Props();
    const ClassRecord& rec = RecordOf(typeid(*obj));
    std::lock_guard<std::mutex> g(r.lock);
    for (const std::type_info* t : rec.chain) {
        auto it = r.byClass.find(std::type_index(*t));
        if (it == r.byClass.end()) continue;
        for (auto& p : it->second)
            if (CompareAnsi(p->Name, name, true) == 0) return p.get();
    }
    return nullptr;
}

std::vector<const TPropInfo*> GetPropList(const TObject* obj) {
    std::vector<const TPropInfo*> out;
    if (!obj) return out;
    PropRegistry& r = Props();
    const ClassRecord& rec = RecordOf(typeid(*obj));
    std::lock_guard<std::mutex> g(r.lock);
    for (const std::type_info* t : rec.chain) {
        auto it = r.byClass.find(std::type_index(*t));
        if (it == r.byClass.end()) continue;
        for (auto& p : it->second) {
            bool hidden = std::any_of(out.begin(), out.end(),
                                      [&](const TPropInfo* q) { return CompareAnsi(q->Name, p->Name, true) == 0; });
            if (!hidden) out.push_back(p.get());
        }
    }
    return out;
}

std::any GetPropValue(const TObject* obj, const std::string& name) {
    const TPropInfo* p = GetPropInfo(obj, name);
    if (!p || !p->Get) return {};
    return p->Get(obj);
}

long GetOrdProp(const TObject* obj, const std::string& name) {
    const TPropInfo* p = GetPropInfo(obj, name);
    if (!p || !p->Get || (p->Kind != tkInteger && p->Kind != tkEnumeration)) return 0;
    std::any v = p->Get(obj);
    if (auto l = std::any_cast<long>(&v)) return *l;
    if (auto b = std::any_cast<bool>(&v)) return *b ? 1 : 0;
    if (auto i = std::any_cast<int>(&v)) return *i;
    return 0;
}

std::string GetStrProp(const TObject* obj, const std::string& name) {
    const TPropInfo* p = GetPropInfo(obj, name);
    if (!p || !p->Get || p->Kind != tkLString) return {};
    std::any v = p->Get(obj);
    auto s = std::any_cast<std::string>(&v);
    return s ? *s : std::string();
}

TObject* GetObjectProp(const TObject* obj, const std::string& name) {
    const TPropInfo* p = GetPropInfo(obj, name);
    if (!p || !p->Get || p->Kind != tkClass) return nullptr;
    std::any v = p->Get(obj);
    auto o = std::any_cast<TObject*>(&v);
    return o ? *o : nullptr;
}

bool SetPropValue(TObject* obj, const std::string& name, const std::any& value) {
    const TPropInfo* p = GetPropInfo(obj, name);
    if (!p || !p->Set) return false;
    p->Set(obj, value);
    return true;
}

bool SetOrdProp(TObject* obj, const std::string& name, long value) {
    const TPropInfo* p = GetPropInfo(obj, name);
    if (!p || !p->Set || (p->Kind != tkInteger && p->Kind != tkEnumeration)) return false;
    p->Set(obj, std::any(value));
    return true;
}

bool SetStrProp(TObject* obj, const std::string& name, const std::string& value) {
    const TPropInfo* p = GetPropInfo(obj, name);
    if (!p || !p->Set || p->Kind != tkLString) return false;
    p->Set(obj, std::any(value));
    return true;
}

bool SetObjectProp(TObject* obj, const std::string& name, TObject* value) {
    const TPropInfo* p = GetPropInfo(obj, name);
    if (!p || !p->Set || p->Kind != tkClass) return false;
    if (value && !p->ClassName.empty() && !value->InheritsFrom(p->ClassName)) return false;
    p->Set(obj, std::any(value));
    return true;
}

// ---- components ------------------------------------------------------------

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    BeginDestroy();
    DestroyComponents();
    // Tell everyone that holds a weak link; each call may edit our list.
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        freeNotifies_.pop_back();
        auto& theirs = other->freeNotifies_;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        other->Notification(this, opRemove);
    }
    if (owner_) owner_->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
    // Last first, so a component never outlives one created before it that it may use.
    while (!components_.empty()) {
        TComponent* c = components_.back();
        Remove(c);
        delete c;
    }
}

void TComponent::SetName(const std::string& name) {
    if (name == name_) return;
    if (!name.empty() && !IsValidIdent(name))
        throw Exception("'" + name + "' is not a valid component name");
    if (!name.empty() && owner_) {
        TComponent* other = owner_->FindComponent(name);
        if (other && other != this) throw Exception("A component named " + name + " already exists");
    }
    name_ = name;
}

int TComponent::ComponentIndex() const {
    if (!owner_) return -1;
    auto& list = owner_->components_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (CompareAnsi(c->name_, name, true) == 0) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component->owner_ == this) return;
    if (component->owner_) component->owner_->RemoveComponent(component);
    components_.push_back(component);
    component->owner_ = this;
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (!component || component->owner_ != this) return;
    Notification(component, opRemove);
    Remove(component);
}

void TComponent::Remove(TComponent* component) {
    components_.erase(std::remove(components_.begin(), components_.end(), component), components_.end());
    component->owner_ = nullptr;
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
        freeNotifies_.push_back(component);
    auto& theirs = component->freeNotifies_;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component) return;
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component), freeNotifies_.end());
    auto& theirs = component->freeNotifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent)
        freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), AComponent), freeNotifies_.end());
    // An owner passes the news on, so siblings drop their links too. Copy:
    // a handler may free components.
    std::vector<TComponent*> owned = components_;
    for (TComponent* c : owned)
        if (c != AComponent && std::find(components_.begin(), components_.end(), c) != components_.end())
            c->Notification(AComponent, Operation);
}

void TComponent::EndLoading() {
    state_ &= ~csLoading;
    Loaded();
}

void TComponent::Loaded() {}

TComponent* FindComponentPath(TComponent* root, const std::string& path) {
    if (!root || path.empty()) return nullptr;
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t dot = path.find('.', start);
        parts.push_back(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    for (const std::string& p : parts)
        if (p.empty()) return nullptr;
    TComponent* at = root;
    std::size_t i = 0;
    // A qualified name may start with the root's own name.
    if (parts.size() > 1 && CompareAnsi(root->Name(), parts[0], true) == 0 && !root->FindComponent(parts[0])) i = 1;
    for (; i < parts.size() && at; ++i) at = at->FindComponent(parts[i]);
    return at;
}

namespace {
TComponent* g_processOwner = nullptr;
}  // namespace

TComponent* ProcessOwner() { return g_processOwner; }
void SetProcessOwner(TComponent* owner) { g_processOwner = owner; }

}  // namespace plat
