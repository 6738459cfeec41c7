#include "platform/gui/component.h"

#include "platform/core/exceptions.h"

#include <gtest/gtest.h>

namespace {

using namespace gui;

// Counts how often it was freed; links to another component weakly.
class Probe : public TComponent {
public:
    Probe(TComponent* owner, int* freed = nullptr) : TComponent(owner), freed_(freed) {}
    ~Probe() override {
        if (freed_) ++*freed_;
    }
    TComponent* link = nullptr;
    std::vector<TComponent*> removed;
    void LinkTo(TComponent* c) {
        link = c;
        if (c) c->FreeNotification(this);
    }

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == opRemove) {
            removed.push_back(c);
            if (c == link) link = nullptr;
        }
    }
    void Loaded() override { loaded = true; }

public:
    bool loaded = false;

private:
    int* freed_;
};

TEST(Component, OwnerFreesOwnedComponentsAndFindsThemByName) {
    int freed = 0;
    auto* owner = new Probe(nullptr, &freed);
    auto* a = new Probe(owner, &freed);
    auto* b = new Probe(owner, &freed);
    a->SetName("Alpha");
    b->SetName("beta");
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->FindComponent("ALPHA"), a);
    EXPECT_EQ(owner->FindComponent("Beta"), b);
    EXPECT_EQ(owner->FindComponent("gamma"), nullptr);
    EXPECT_EQ(owner->FindComponent(""), nullptr);
    EXPECT_EQ(b->ComponentIndex(), 1);
    delete owner;
    EXPECT_EQ(freed, 3);
}

TEST(Component, NamesMustBeUniqueAmongSiblingsAndIdentifiers) {
    Probe owner(nullptr);
    auto* a = new Probe(&owner);
    auto* b = new Probe(&owner);
    a->SetName("Button1");
    EXPECT_THROW(b->SetName("button1"), plat::Exception);
    EXPECT_THROW(b->SetName("1st"), plat::Exception);
    EXPECT_THROW(b->SetName("has space"), plat::Exception);
    b->SetName("Button2");
    EXPECT_EQ(b->Name(), "Button2");
    a->SetName("");  // an empty name is always allowed
    b->SetName("Button1");
    EXPECT_EQ(owner.FindComponent("Button1"), b);
}

TEST(Component, FreeingOwnedComponentRemovesItFromOwner) {
    Probe owner(nullptr);
    auto* a = new Probe(&owner);
    a->SetName("A");
    delete a;
    EXPECT_EQ(owner.ComponentCount(), 0);
    EXPECT_EQ(owner.FindComponent("A"), nullptr);
    ASSERT_EQ(owner.removed.size(), 1u);
}

TEST(Component, FreeNotificationClearsWeakLinkEitherWay) {
    // The target goes first: the holder hears of it.
    auto* target = new Probe(nullptr);
    Probe holder(nullptr);
    holder.LinkTo(target);
    delete target;
    EXPECT_EQ(holder.link, nullptr);

    // The holder goes first: the target must not call it later.
    auto* target2 = new Probe(nullptr);
    auto* holder2 = new Probe(nullptr);
    holder2->LinkTo(target2);
    delete holder2;
    delete target2;  // would touch freed memory if the link were one-way (ASan)
}

TEST(Component, SiblingsHearOfRemovalThroughTheirOwner) {
    Probe owner(nullptr);
    auto* a = new Probe(&owner);
    auto* b = new Probe(&owner);
    b->link = a;  // a plain pointer to a sibling, no FreeNotification
    delete a;
    EXPECT_EQ(b->link, nullptr);
}

TEST(Component, LoadedRunsAtTheEndOfLoadingAndTagIsKept) {
    Probe p(nullptr);
    p.BeginLoading();
    EXPECT_TRUE(p.IsLoading());
    EXPECT_FALSE(p.loaded);
    p.EndLoading();
    EXPECT_FALSE(p.IsLoading());
    EXPECT_TRUE(p.loaded);
    p.Tag = -42;
    EXPECT_EQ(p.Tag, -42);
}

TEST(Component, InsertComponentMovesOwnership) {
    Probe a(nullptr), b(nullptr);
    auto* c = new Probe(&a);
    b.InsertComponent(c);
    EXPECT_EQ(a.ComponentCount(), 0);
    EXPECT_EQ(b.ComponentCount(), 1);
    EXPECT_EQ(c->Owner(), &b);
}

}  // namespace
