#include "platform/gui/component.h"

#include "platform/core/codepage.h"
#include "platform/core/exceptions.h"

#include <algorithm>
#include <cctype>

namespace gui {

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

}  // namespace

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
        throw plat::Exception("'" + name + "' is not a valid component name");
    if (!name.empty() && owner_) {
        TComponent* other = owner_->FindComponent(name);
        if (other && other != this)
            throw plat::Exception("A component named " + name + " already exists");
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
        if (plat::CompareAnsi(c->name_, name, true) == 0) return c;
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

}  // namespace gui
