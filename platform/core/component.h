// The one component model under forms, controls, datasets, data sources and
// fields: an owner frees what it owns, components have names their owner can
// look up, and a component can ask to be told when another one goes away (a
// weak link), so no pointer outlives its target. No Qt here: the dataset
// classes build on it without the GUI.
//
// Objects also know their class name and ancestry, and a class may publish
// properties that code reads and writes by name (a control's DataSource, a
// dataset's DatabaseName) without knowing the class.
#pragma once

#include <any>
#include <functional>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

namespace plat {

class TObject {
public:
    virtual ~TObject() = default;
    // The class's own name without its namespace ("TTable").
    std::string ClassName() const;
    // True when the class or one of its ancestors has this name (without
    // regard to case), walking the whole class chain.
    bool InheritsFrom(const std::string& className) const;
    // The class and its ancestors, nearest first ("TTable", "TDBDataSet", ...).
    std::vector<std::string> ClassChain() const;
};

enum TOperation { opInsert, opRemove };

// ComponentState flags.
constexpr unsigned csLoading = 0x01, csReading = 0x02, csDestroying = 0x08, csDesigning = 0x10;

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    // Raises plat::Exception when a sibling owned by the same owner already
    // has the name (compared without regard to case) or the name is not an
    // identifier.
    void SetName(const std::string& name);
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_.at(index); }
    int ComponentIndex() const;
    // The owned component with this name (without regard to case), or nullptr.
    TComponent* FindComponent(const std::string& name) const;

    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    // Asks to be told through Notification(this, opRemove) when `component`
    // is destroyed. Links are two-way, so it holds whichever goes first.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    long Tag = 0;
    unsigned ComponentState() const { return state_; }
    bool Destroying() const { return state_ & csDestroying; }
    bool IsLoading() const { return state_ & csLoading; }

    // Loading brackets: properties set while loading take effect in Loaded.
    void BeginLoading() { state_ |= csLoading; }
    void EndLoading();

protected:
    // Called on the owner when a component is inserted or removed, and on
    // every component that asked for FreeNotification when one is destroyed.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    virtual void Loaded();
    // Destruction runs base-last in C++, so a class whose owned components
    // call back into it (a form and its controls) calls these first in its
    // own destructor: mark as going away, then free what it owns.
    void BeginDestroy() { state_ |= csDestroying; }
    void DestroyComponents();

private:
    void Remove(TComponent* component);

    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    unsigned state_ = 0;
};

// A dotted component name: "Edit1" is looked up among the root's
// components; "Form2.Edit1" finds Form2 (the root itself when it has that
// name, else one of its components) and then Edit1 among Form2's, and so on.
// nullptr when any step is missing.
TComponent* FindComponentPath(TComponent* root, const std::string& path);

// The component that owns the process's shared instances (the application
// when the GUI runs), so code without the GUI can hand them to it and have
// them freed with it; nullptr without one. The GUI sets it at start-up.
TComponent* ProcessOwner();
void SetProcessOwner(TComponent* owner);

// ---- properties by name ----------------------------------------------------

enum TTypeKind { tkUnknown, tkInteger, tkEnumeration, tkFloat, tkLString, tkClass, tkMethod };

// A published property: its getter and setter carry the value in a std::any
// of the kind's type: long (integer and enumeration, Booleans as 0/1),
// double, std::string, TObject* (class), or the property's own event type.
struct TPropInfo {
    std::string Name;
    TTypeKind Kind = tkUnknown;
    // For tkClass: the class a value must inherit from ("TDataSource").
    std::string ClassName;
    std::function<std::any(const TObject*)> Get;
    std::function<void(TObject*, const std::any&)> Set;  // empty: read-only
};

// Publishes a property of `cls`; its descendants have it too.
void RegisterProperty(std::type_index cls, TPropInfo info);
template <typename C>
void RegisterProperty(TPropInfo info) { RegisterProperty(std::type_index(typeid(C)), std::move(info)); }

// The property of this name (without regard to case) on the object's class
// or an ancestor; nullptr when it has none.
const TPropInfo* GetPropInfo(const TObject* obj, const std::string& name);
// The published properties of the object's class chain, nearest class first.
std::vector<const TPropInfo*> GetPropList(const TObject* obj);

// Readers give an empty value (0, "", nullptr) when the property is missing
// or of another kind; writers report whether they set it.
long GetOrdProp(const TObject* obj, const std::string& name);
std::string GetStrProp(const TObject* obj, const std::string& name);
TObject* GetObjectProp(const TObject* obj, const std::string& name);
std::any GetPropValue(const TObject* obj, const std::string& name);
bool SetOrdProp(TObject* obj, const std::string& name, long value);
bool SetStrProp(TObject* obj, const std::string& name, const std::string& value);
// Refuses an object that does not inherit from the property's class.
bool SetObjectProp(TObject* obj, const std::string& name, TObject* value);
bool SetPropValue(TObject* obj, const std::string& name, const std::any& value);

// The name a class answers to in ClassName ("TTable" for db::TTable).
std::string ClassNameOf(const std::type_info& type);

// Builders for the common kinds, so a class publishes a property in a line.
template <typename C>
TPropInfo StrProperty(std::string name, std::function<std::string(const C&)> get,
                      std::function<void(C&, const std::string&)> set = {}) {
    TPropInfo p{std::move(name), tkLString, {}, [get](const TObject* o) {
                    return std::any(get(*static_cast<const C*>(o)));
                }, {}};
    if (set) p.Set = [set](TObject* o, const std::any& v) { set(*static_cast<C*>(o), std::any_cast<std::string>(v)); };
    return p;
}

template <typename C>
TPropInfo BoolProperty(std::string name, std::function<bool(const C&)> get, std::function<void(C&, bool)> set = {}) {
    TPropInfo p{std::move(name), tkEnumeration, {}, [get](const TObject* o) {
                    return std::any(static_cast<long>(get(*static_cast<const C*>(o))));
                }, {}};
    if (set) p.Set = [set](TObject* o, const std::any& v) { set(*static_cast<C*>(o), std::any_cast<long>(v) != 0); };
    return p;
}

// A property holding an object of class V (or a descendant).
template <typename C, typename V>
TPropInfo ObjectProperty(std::string name, std::function<V*(const C&)> get, std::function<void(C&, V*)> set = {}) {
    TPropInfo p{std::move(name), tkClass, ClassNameOf(typeid(V)), [get](const TObject* o) {
                    return std::any(static_cast<TObject*>(get(*static_cast<const C*>(o))));
                }, {}};
    if (set)
        p.Set = [set](TObject* o, const std::any& v) {
            TObject* value = std::any_cast<TObject*>(v);
            V* typed = dynamic_cast<V*>(value);
            if (value && !typed) throw std::bad_any_cast();
            set(*static_cast<C*>(o), typed);
        };
    return p;
}

}  // namespace plat
