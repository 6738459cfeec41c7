#include "platform/db/db_component.h"

#include "platform/core/codepage.h"
#include "platform/db/db_errors.h"

#include <algorithm>

namespace db {

TDbComponent::TDbComponent(TDbComponent* AOwner) : owner_(AOwner) {
    if (owner_) owner_->components_.push_back(this);
}

TDbComponent::~TDbComponent() {
    destroying_ = true;
    // Tell everyone who holds a weak link, then drop links both ways.
    std::vector<TDbComponent*> notify;
    notify.swap(freeNotifies_);
    for (TDbComponent* c : notify) {
        auto& back = c->freeNotifies_;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        c->Notification(this, opRemove);
    }
    DestroyComponents();
    if (owner_) {
        auto& list = owner_->components_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        if (!owner_->destroying_) owner_->Notification(this, opRemove);
    }
}

void TDbComponent::DestroyComponents() {
    destroying_ = true;
    while (!components_.empty()) {
        TDbComponent* c = components_.back();
        delete c;  // its destructor removes it from the list
    }
}

void TDbComponent::SetName(const std::string& name) {
    if (owner_ && !name.empty()) {
        TDbComponent* other = owner_->FindComponent(name);
        if (other && other != this) DatabaseError("A component named " + name + " already exists");
    }
    name_ = name;
}

TDbComponent* TDbComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TDbComponent* c : components_)
        if (plat::CompareAnsi(c->name_, name, true) == 0) return c;
    return nullptr;
}

void TDbComponent::FreeNotification(TDbComponent* component) {
    if (!component || component == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end()) {
        freeNotifies_.push_back(component);
        component->freeNotifies_.push_back(this);
    }
}

void TDbComponent::RemoveFreeNotification(TDbComponent* component) {
    if (!component) return;
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component), freeNotifies_.end());
    auto& back = component->freeNotifies_;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
}

void TDbComponent::Notification(TDbComponent*, TOperation) {}

}  // namespace db
