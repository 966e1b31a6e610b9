// A person at the PC: every key press, mouse press and wheel turn in the program's windows.
#pragma once

#include <functional>

// Calls `listener` at each; returns its id for RemoveUserInputListener.
int AddUserInputListener(std::function<void()> listener);
void RemoveUserInputListener(int id);
