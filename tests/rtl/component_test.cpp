#include "rtl/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/exceptions.h"

using namespace rtl;

namespace {

// Records its own destruction and the notifications it receives.
class Probe : public TComponent {
public:
    Probe(TComponent* owner, String name, std::vector<String>* log) : TComponent(owner), FLog(log) { SetName(name); }
    ~Probe() override { FLog->push_back(u"free " + Name()); }

    TComponent* Watched = nullptr;
    std::vector<TComponentState> LoadedStates;

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == TOperation::opRemove && c == Watched) {
            Watched = nullptr;
            FLog->push_back(Name() + u" lost watched");
        }
    }
    void Loaded() override {
        LoadedStates.push_back(ComponentState());
        TComponent::Loaded();
    }

private:
    std::vector<String>* FLog;
};

}  // namespace

TEST(Component, OwnerFreesOwnedComponentsLastFirst) {
    std::vector<String> log;
    {
        auto form = std::make_unique<Probe>(nullptr, u"Form2", &log);
        new Probe(form.get(), u"Label1", &log);
        new Probe(form.get(), u"DBGrid1", &log);
        EXPECT_EQ(form->ComponentCount(), 2);
        EXPECT_EQ(form->Components(0)->Owner(), form.get());
    }
    EXPECT_EQ(log, (std::vector<String>{u"free Form2", u"free DBGrid1", u"free Label1"}));
}

TEST(Component, FindComponentIgnoresCaseAndNamesAreUnique) {
    std::vector<String> log;
    Probe form(nullptr, u"Form2", &log);
    auto* edit = new Probe(&form, u"Edit1", &log);
    EXPECT_EQ(form.FindComponent(u"EDIT1"), edit);
    EXPECT_EQ(form.FindComponent(u"Edit2"), nullptr);
    EXPECT_EQ(form.FindComponent(u""), nullptr);
    EXPECT_THROW(new Probe(&form, u"edit1", &log), EComponentError);
    EXPECT_THROW(edit->SetName(u"1bad"), EComponentError);
    EXPECT_EQ(form.ComponentCount(), 1);  // the refused component freed itself cleanly
}

TEST(Component, RemovalIsNotifiedToWatchersAndSiblings) {
    std::vector<String> log;
    Probe form(nullptr, u"Form2", &log);
    auto* source = new Probe(&form, u"DataSource1", &log);
    auto* grid = new Probe(&form, u"DBGrid1", &log);
    Probe outsider(nullptr, u"Outsider", &log);
    grid->Watched = source;
    outsider.Watched = source;
    outsider.FreeNotification(source);

    form.RemoveComponent(source).reset();
    EXPECT_EQ(grid->Watched, nullptr);     // told through the owner
    EXPECT_EQ(outsider.Watched, nullptr);  // told through its free notification
    EXPECT_EQ(form.ComponentCount(), 1);
}

TEST(Component, DeletingAnOwnedComponentDetachesItFromItsOwner) {
    std::vector<String> log;
    Probe form(nullptr, u"Form2", &log);
    auto* a = new Probe(&form, u"A", &log);
    std::unique_ptr<TComponent> taken = form.RemoveComponent(a);
    EXPECT_EQ(a->Owner(), nullptr);
    form.InsertComponent(taken.release());
    EXPECT_EQ(a->Owner(), &form);
    delete a;  // unowned deletion path used by stack or unique_ptr holders
    EXPECT_EQ(form.ComponentCount(), 0);
}

TEST(Component, LoadingStateIsSetThenClearedBeforeLoaded) {
    std::vector<String> log;
    Probe form(nullptr, u"Form2", &log);
    auto* child = new Probe(&form, u"Child", &log);
    form.BeginLoading();
    EXPECT_TRUE(child->ComponentState().Contains(csLoading));
    form.EndLoading();
    ASSERT_EQ(child->LoadedStates.size(), 1u);
    EXPECT_FALSE(child->LoadedStates[0].Contains(csLoading));
    EXPECT_FALSE(form.ComponentState().Contains(csLoading));
}
