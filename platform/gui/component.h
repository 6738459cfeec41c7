// The component model: an owner frees what it owns, components have names
// that their owner can look up, and a component can ask to be told when
// another one goes away (a weak link), so no pointer outlives its target.
#pragma once

#include "platform/gui/gui_types.h"

#include <string>
#include <vector>

namespace gui {

class TObject {
public:
    virtual ~TObject() = default;
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
    void NotifyAll(TComponent* component, TOperation op);

    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    unsigned state_ = 0;
};

}  // namespace gui
