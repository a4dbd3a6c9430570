// Components: owners, names and renames, published field binding, free notification and
// the order of destruction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formstream/Component.h"
#include "rtl/Exceptions.h"
#include "tests/common/ExceptionMessage.h"

using namespace formstream;

namespace {

std::vector<std::string> gLog;

// A component that records its notifications and its destruction.
class TProbe : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TComponent::TComponent;
    ~TProbe() override { gLog.push_back("destroy " + Name()); }
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == opRemove && !HasState(stDestroying))
            gLog.push_back(Name() + " hears " + c->Name());
    }
};
constinit const TClassInfo TProbe::ClassInfo = ClassInfoOf<TProbe, TComponent>("TProbe");

// A form-like owner with published fields named after its components.
class TOwnerForm : public TProbe {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TProbe::TProbe;
    TProbe* MainImage = nullptr;
    TProbe* control = nullptr;
    TOwnerForm* Nested = nullptr; // a field whose class a TProbe does not fit
    static const TFieldEntry Fields[];
};
constinit const TFieldEntry TOwnerForm::Fields[] = {
    Field<&TOwnerForm::MainImage>("MainImage"),
    Field<&TOwnerForm::control>("control"),
    Field<&TOwnerForm::Nested>("Nested"),
};
constinit const TClassInfo TOwnerForm::ClassInfo =
    ClassInfoOf<TOwnerForm, TProbe>("TOwnerForm", {}, {}, Fields);

} // namespace

TEST(Component, OwnerListsAndFieldsFollowNames) {
    TOwned<TOwnerForm> form(new TOwnerForm(nullptr));
    auto* image = new TProbe(form.get());
    auto* control = new TProbe(form.get());
    image->SetName("MainImage");
    control->SetName("control");
    EXPECT_EQ(form->MainImage, image);
    EXPECT_EQ(form->control, control);
    EXPECT_EQ(form->ComponentCount(), 2);
    EXPECT_EQ(form->Components(1), control);
    EXPECT_EQ(control->ComponentIndex(), 1);
    EXPECT_EQ(form->FindOwnedComponent("MAINIMAGE"), image);
    EXPECT_EQ(form->FindOwnedComponent(""), nullptr);

    // A name whose field has a class that does not fit leaves the field alone.
    auto* odd = new TProbe(form.get());
    odd->SetName("Nested");
    EXPECT_EQ(form->Nested, nullptr);

    // Renaming moves the field binding; destroying clears it.
    image->SetName("Background");
    EXPECT_EQ(form->MainImage, nullptr);
    image->SetName("MainImage");
    Free(image);
    EXPECT_EQ(form->MainImage, nullptr);
    EXPECT_EQ(form->ComponentCount(), 2);
}

TEST(Component, RenamesSucceedOrFailWithTheMessageAndChangeNothing) {
    TOwned<TOwnerForm> form(new TOwnerForm(nullptr));
    auto* image = new TProbe(form.get());
    auto* control = new TProbe(form.get());
    image->SetName("MainImage");
    control->SetName("control");

    image->SetName("mainimage"); // the same name but for case
    EXPECT_EQ(image->Name(), "mainimage");
    EXPECT_EQ(form->MainImage, image);
    image->SetName("MainImage");

    struct Case {
        TProbe* target;
        const char* newName;
        const char* message;
    } failures[] = {
        {control, "MainImage", "A component named MainImage already exists"},
        {control, "MAINIMAGE", "A component named MAINIMAGE already exists"},
        {control, "1abc", "''1abc'' is not a valid component name"},
        {control, "a b", "''a b'' is not a valid component name"},
        {control, "x.y", "''x.y'' is not a valid component name"},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.newName);
        EXPECT_EQ(MessageOf<rtl::EComponentError>([&] { c.target->SetName(c.newName); }),
                  c.message);
        EXPECT_EQ(control->Name(), "control");
        EXPECT_EQ(form->control, control);
        EXPECT_EQ(form->MainImage, image);
    }

    // Empty names are valid and may be shared.
    auto* a = new TProbe(form.get());
    auto* b = new TProbe(form.get());
    a->SetName("");
    b->SetName("");
    EXPECT_EQ(form->ComponentCount(), 4);
}

TEST(Component, IndexOutOfRangeAndIndexMovesAreChecked) {
    TOwned<TProbe> owner(new TProbe(nullptr));
    auto* first = new TProbe(owner.get());
    auto* second = new TProbe(owner.get());
    for (int bad : {-1, 2, 99}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(MessageOf<rtl::EListError>([&] { (void)owner->Components(bad); }),
                  rtl::Format("List index out of bounds (%d)", bad));
    }
    first->SetComponentIndex(100); // clamped to the end
    EXPECT_EQ(owner->Components(1), first);
    first->SetComponentIndex(-5);
    EXPECT_EQ(owner->Components(0), first);
    EXPECT_EQ(second->ComponentIndex(), 1);
    TProbe loose(nullptr);
    EXPECT_EQ(loose.ComponentIndex(), -1);
}

TEST(Component, OwnerOfManyDestroysThemLastFirstAndPartnersHearFirst) {
    gLog.clear();
    auto* form = new TProbe(nullptr);
    form->SetName("Form1");
    std::vector<TProbe*> parts;
    for (int i = 0; i < 23; ++i) {
        parts.push_back(new TProbe(form));
        parts.back()->SetName("C" + std::to_string(i));
    }
    // An outside component wants to hear of C5's destruction.
    TOwned<TProbe> watcher(new TProbe(nullptr));
    watcher->SetName("Watcher");
    parts[5]->FreeNotification(watcher.get());
    EXPECT_TRUE(parts[5]->HasState(stFreeNotification));

    Free(form);
    std::vector<std::string> expected;
    for (int i = 22; i >= 0; --i) {
        if (i == 5)
            expected.push_back("Watcher hears C5");
        expected.push_back("destroy C" + std::to_string(i));
    }
    expected.push_back("destroy Form1");
    EXPECT_EQ(gLog, expected);
}

TEST(Component, FreeNotificationPartnerDestroyedFirstIsForgotten) {
    gLog.clear();
    auto* a = new TProbe(nullptr);
    auto* b = new TProbe(nullptr);
    a->SetName("A");
    b->SetName("B");
    a->FreeNotification(b);
    Free(b);
    EXPECT_EQ(gLog, (std::vector<std::string>{"A hears B", "destroy B"}));
    gLog.clear();
    Free(a); // must not tell the destroyed B
    EXPECT_EQ(gLog, std::vector<std::string>{"destroy A"});
}

TEST(Component, DestroyingAComponentTellsItsOwnerAndSiblings) {
    gLog.clear();
    TOwned<TProbe> form(new TProbe(nullptr));
    form->SetName("Form1");
    auto* image = new TProbe(form.get());
    image->SetName("image");
    auto* panel = new TProbe(form.get());
    panel->SetName("panel");
    Free(image);
    EXPECT_EQ(gLog, (std::vector<std::string>{"panel hears image", "Form1 hears image",
                                              "destroy image"}));
}
