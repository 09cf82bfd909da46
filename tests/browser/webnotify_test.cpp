// The web-notify channel: registration order, ownership of handlers, member-function binding.
#include "browser/WebNotify.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

using Triple = std::tuple<unsigned, unsigned, long>;
struct Call {
    int handler;
    Triple triple;
    bool operator==(const Call& other) const {
        return handler == other.handler && triple == other.triple;
    }
};

// Records every call into a shared journal and counts its own destruction.
class RecordingHandler : public ICWebNotifyEventHandler {
public:
    RecordingHandler(int id, std::vector<Call>* journal, int* destroyed)
        : m_id(id), m_journal(journal), m_destroyed(destroyed) {}
    ~RecordingHandler() override { ++*m_destroyed; }
    void OnEvent(unsigned code, unsigned wParam, long lParam) override {
        m_journal->push_back({m_id, Triple(code, wParam, lParam)});
    }

private:
    int m_id;
    std::vector<Call>* m_journal;
    int* m_destroyed;
};

// Stands in for a form: its member function is what the channel calls.
struct FakeForm {
    std::vector<Triple> received;
    void OnWebNotify(unsigned code, unsigned wParam, long lParam) {
        received.emplace_back(code, wParam, lParam);
    }
};

TEST(WebNotify, EmptyListFiresNothing) {
    CWebNotify notify;
    notify.Fire(WEBNOTIFY_DOCUMENT_COMPLETE, 1, 2); // nothing to call, nothing to crash
    EXPECT_EQ(notify.GetHandlerCount(), 0u);
}

TEST(WebNotify, HandlersGetTheSameTripleInRegistrationOrder) {
    std::vector<Call> journal;
    int destroyed = 0;
    CWebNotify notify;
    notify.AddHandler(new RecordingHandler(1, &journal, &destroyed));
    notify.AddHandler(new RecordingHandler(2, &journal, &destroyed));
    notify.Fire(WEBNOTIFY_BEFORE_NAVIGATE, 0, 1234);
    notify.Fire(WEBNOTIFY_TITLE_CHANGE, 0xFFFFFFFFu, -5);
    const std::vector<Call> expected = {{1, Triple(7u, 0u, 1234L)},
                                        {2, Triple(7u, 0u, 1234L)},
                                        {1, Triple(9u, 0xFFFFFFFFu, -5L)},
                                        {2, Triple(9u, 0xFFFFFFFFu, -5L)}};
    EXPECT_EQ(journal, expected);
}

TEST(WebNotify, NullEntriesAreSkippedAndTheListDeletesItsHandlers) {
    std::vector<Call> journal;
    int destroyed = 0;
    {
        CWebNotify notify;
        notify.AddHandler(static_cast<ICWebNotifyEventHandler*>(nullptr));
        notify.AddHandler(new RecordingHandler(1, &journal, &destroyed));
        notify.AddHandler(static_cast<ICWebNotifyEventHandler*>(nullptr));
        notify.Fire(WEBNOTIFY_NEW_WINDOW, 0, 1);
        EXPECT_EQ(journal.size(), 1u);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(WebNotify, MemberFunctionHandlerPassesTheValuesUnchanged) {
    FakeForm form;
    CWebNotify notify;
    notify.AddHandler(new CCWebNotifyEventHandler<FakeForm>(&form, &FakeForm::OnWebNotify));
    notify.AddHandler(&form, &FakeForm::OnWebNotify); // the same binding, made by the list
    notify.Fire(WEBNOTIFY_GET_EXTERNAL, 0x80000000u, -1);
    ASSERT_EQ(form.received.size(), 2u);
    EXPECT_EQ(form.received[0], Triple(2u, 0x80000000u, -1L));
    EXPECT_EQ(form.received[1], Triple(2u, 0x80000000u, -1L));
}

TEST(WebNotify, BaseHandlerTemplateDoesNothing) {
    FakeForm form;
    CEventHandler<FakeForm, void (FakeForm::*)(unsigned, unsigned, long), ICWebNotifyEventHandler>
        handler(&form, &FakeForm::OnWebNotify);
    handler.OnEvent(1, 2, 3);
    EXPECT_TRUE(form.received.empty());
}

// A handler that registers another one while the list is being walked: the walk stays valid
// and the newcomer is called in the same round.
struct GrowingForm {
    CWebNotify* notify = nullptr;
    int calls = 0;
    void OnWebNotify(unsigned code, unsigned, long) {
        ++calls;
        if (code == WEBNOTIFY_NAVIGATE_COMPLETE && calls < 20)
            notify->AddHandler(this, &GrowingForm::OnWebNotify);
    }
};

TEST(WebNotify, RegisteringDuringFireIsSafe) {
    GrowingForm form;
    CWebNotify notify;
    form.notify = &notify;
    notify.AddHandler(&form, &GrowingForm::OnWebNotify);
    notify.Fire(WEBNOTIFY_NAVIGATE_COMPLETE, 0, 0);
    EXPECT_EQ(form.calls, 20);
    EXPECT_EQ(notify.GetHandlerCount(), 20u);
}

} // namespace
