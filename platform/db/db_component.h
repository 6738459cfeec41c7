// A Qt-free component base for the non-visual dataset classes: an owner that
// frees what it owns, a name it can look up, and free notification so that a
// data source or a detail table never keeps a pointer to a freed dataset.
#pragma once

#include <string>
#include <vector>

namespace db {

enum TOperation { opInsert, opRemove };

class TDbComponent {
public:
    explicit TDbComponent(TDbComponent* AOwner);
    virtual ~TDbComponent();
    TDbComponent(const TDbComponent&) = delete;
    TDbComponent& operator=(const TDbComponent&) = delete;

    TDbComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TDbComponent* Components(int index) const { return components_.at(index); }
    // Without regard to case; nullptr when missing.
    TDbComponent* FindComponent(const std::string& name) const;

    void FreeNotification(TDbComponent* component);
    void RemoveFreeNotification(TDbComponent* component);
    bool Destroying() const { return destroying_; }

protected:
    virtual void Notification(TDbComponent* AComponent, TOperation Operation);
    // Call first in a destructor whose owned components call back into it.
    void DestroyComponents();

private:
    TDbComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TDbComponent*> components_;
    std::vector<TDbComponent*> freeNotifies_;
    bool destroying_ = false;
};

}  // namespace db
