// A person at the PC: every key, click or wheel turn in any window of the program.
#include "user_input.h"

#include <QApplication>
#include <QEvent>
#include <functional>
#include <map>

namespace {

std::map<int, std::function<void()>> g_listeners;
int g_next = 0;

class UserInputFilter : public QObject {
  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::Wheel:
                // A listener may remove itself.
                for (auto copy = g_listeners; const auto& [id, fn] : copy) fn();
                break;
            default: break;
        }
        return false;
    }
};

}  // namespace

int AddUserInputListener(std::function<void()> listener) {
    static UserInputFilter* filter = nullptr;
    if (!filter && qApp) {
        filter = new UserInputFilter;
        qApp->installEventFilter(filter);
    }
    g_listeners[++g_next] = std::move(listener);
    return g_next;
}

void RemoveUserInputListener(int id) { g_listeners.erase(id); }
