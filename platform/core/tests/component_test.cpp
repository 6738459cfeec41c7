#include "platform/core/component.h"

#include "platform/core/exceptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace plat;

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

// A small class family with published properties, as a dataset and its
// kinds would publish them.
class TBase : public TComponent {
public:
    using TComponent::TComponent;
    std::string Text;
    bool Flag = false;
};
class TMiddle : public TBase {
public:
    using TBase::TBase;
    TComponent* Source = nullptr;
};
class TLeaf : public TMiddle {
public:
    using TMiddle::TMiddle;
};
// Of two bases: both lines count as ancestry.
class TMixin {
public:
    virtual ~TMixin() = default;
};
class TTwoParents : public TMixin, public TBase {
public:
    using TBase::TBase;
};

const bool kPublished = [] {
    RegisterProperty<TBase>(StrProperty<TBase>(
        "Text", [](const TBase& b) { return b.Text; }, [](TBase& b, const std::string& v) { b.Text = v; }));
    RegisterProperty<TBase>(BoolProperty<TBase>(
        "Flag", [](const TBase& b) { return b.Flag; }, [](TBase& b, bool v) { b.Flag = v; }));
    RegisterProperty<TMiddle>(ObjectProperty<TMiddle, TBase>(
        "Source", [](const TMiddle& m) { return dynamic_cast<TBase*>(m.Source); },
        [](TMiddle& m, TBase* v) { m.Source = v; }));
    RegisterProperty<TBase>(StrProperty<TBase>("ReadOnlyText", [](const TBase&) { return std::string("fixed"); }));
    return true;
}();

TEST(ClassInfo, NamesAndAncestryWalkTheWholeChain) {
    TLeaf leaf(nullptr);
    EXPECT_EQ(leaf.ClassName(), "TLeaf");
    EXPECT_EQ(leaf.ClassChain(), (std::vector<std::string>{"TLeaf", "TMiddle", "TBase", "TComponent", "TObject"}));
    struct Case { const char* name; bool inherits; };
    for (Case c : {Case{"TLeaf", true}, {"tmiddle", true}, {"TBASE", true}, {"TComponent", true},
                   {"TObject", true}, {"TTwoParents", false}, {"TMixin", false}, {"", false}, {"TLea", false}})
        EXPECT_EQ(leaf.InheritsFrom(c.name), c.inherits) << c.name;
    TTwoParents two(nullptr);
    EXPECT_TRUE(two.InheritsFrom("TMixin"));
    EXPECT_TRUE(two.InheritsFrom("TComponent"));
    EXPECT_FALSE(two.InheritsFrom("TMiddle"));
    // Through a base pointer the object still answers with its own class.
    TComponent* asBase = &leaf;
    EXPECT_EQ(asBase->ClassName(), "TLeaf");
}

TEST(Properties, ReadAndWriteByNameThroughTheClassChain) {
    TLeaf leaf(nullptr);
    TBase other(nullptr);
    EXPECT_TRUE(SetStrProp(&leaf, "text", "hello"));  // a property of an ancestor, any letter case
    EXPECT_EQ(leaf.Text, "hello");
    EXPECT_EQ(GetStrProp(&leaf, "TEXT"), "hello");
    EXPECT_TRUE(SetOrdProp(&leaf, "Flag", 1));
    EXPECT_TRUE(leaf.Flag);
    EXPECT_EQ(GetOrdProp(&leaf, "Flag"), 1);
    EXPECT_TRUE(SetObjectProp(&leaf, "Source", &other));
    EXPECT_EQ(leaf.Source, &other);
    EXPECT_EQ(GetObjectProp(&leaf, "Source"), &other);
    // Every component has Name and Tag.
    EXPECT_TRUE(SetStrProp(&leaf, "Name", "Leaf1"));
    EXPECT_EQ(leaf.Name(), "Leaf1");
    EXPECT_TRUE(SetOrdProp(&leaf, "Tag", 7));
    EXPECT_EQ(leaf.Tag, 7);
    ASSERT_NE(GetPropInfo(&leaf, "Source"), nullptr);
    EXPECT_EQ(GetPropInfo(&leaf, "Source")->ClassName, "TBase");
}

TEST(Properties, MissingOrMismatchedPropertiesGiveEmptyValuesNotErrors) {
    TBase base(nullptr);
    TLeaf leaf(nullptr);
    Probe notABase(nullptr);
    // TBase has no Source: that is a TMiddle property.
    EXPECT_EQ(GetPropInfo(&base, "Source"), nullptr);
    EXPECT_EQ(GetObjectProp(&base, "Source"), nullptr);
    EXPECT_FALSE(SetObjectProp(&base, "Source", &leaf));
    EXPECT_EQ(GetStrProp(&base, "Missing"), "");
    EXPECT_EQ(GetOrdProp(&base, "Missing"), 0);
    EXPECT_FALSE(SetStrProp(&base, "Missing", "x"));
    EXPECT_EQ(GetStrProp(nullptr, "Text"), "");
    // The wrong kind is refused rather than converted.
    EXPECT_FALSE(SetOrdProp(&base, "Text", 3));
    EXPECT_EQ(GetOrdProp(&base, "Text"), 0);
    EXPECT_EQ(GetStrProp(&base, "Flag"), "");
    // An object of another class does not go into a class property.
    EXPECT_FALSE(SetObjectProp(&leaf, "Source", &notABase));
    EXPECT_EQ(leaf.Source, nullptr);
    EXPECT_TRUE(SetObjectProp(&leaf, "Source", nullptr));
    // Read-only.
    EXPECT_EQ(GetStrProp(&base, "ReadOnlyText"), "fixed");
    EXPECT_FALSE(SetStrProp(&base, "ReadOnlyText", "x"));
}

TEST(Properties, PropListHasEachNameOnceNearestClassFirst) {
    TLeaf leaf(nullptr);
    std::vector<std::string> names;
    for (const TPropInfo* p : GetPropList(&leaf)) names.push_back(p->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Source", "Text", "Flag", "ReadOnlyText", "Name", "Tag"}));
}

TEST(Component, DottedNamesResolveThroughOwners) {
    TComponent app(nullptr);
    auto* form = new Probe(&app);
    form->SetName("Form2");
    auto* edit = new Probe(form);
    edit->SetName("Edit1");
    auto* module = new Probe(&app);
    module->SetName("Data");
    auto* inner = new Probe(edit);
    inner->SetName("Button");
    struct Case { TComponent* root; const char* path; TComponent* want; };
    for (Case c : {Case{&app, "Form2.Edit1", edit}, {&app, "form2.EDIT1.button", inner}, {&app, "Form2", form},
                   {form, "Edit1", edit}, {form, "Form2.Edit1", edit},  // the root's own name may lead
                   {&app, "Form2.Missing", nullptr}, {&app, "Data.Edit1", nullptr}, {&app, "Form2.", nullptr},
                   {&app, ".Edit1", nullptr}, {&app, "", nullptr}, {nullptr, "Form2", nullptr}})
        EXPECT_EQ(FindComponentPath(c.root, c.path), c.want) << c.path;
}

}  // namespace
