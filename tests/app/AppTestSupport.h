// What the recorder's window suites share: a private folder, waiting while
// Qt's loop runs, and a user at the keyboard and pointer (xdotool).
#pragma once

#include "LibAVFolder.h" // ProgramFolder(): LibAV/ and the hook libraries are there
#include "MediaFiles.h" // TTempFolder

#include <QWidget>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Runs Qt's loop (and the main-thread queue) until APredicate holds; false on time-out.
bool WaitFor(const std::function<bool()>& APredicate, std::chrono::milliseconds ALimit);
// Runs Qt's loop for ATime.
void Serve(std::chrono::milliseconds ATime);
// Runs xdotool with AArgs while Qt's loop keeps running; false when it fails.
bool Xdotool(const std::vector<std::string>& AArgs);
// Moves the pointer to the middle of AWidget and clicks the left button.
bool Click(QWidget* AWidget);
// Presses and releases AKey ("F9", "alt+p", ...).
bool PressKey(const std::string& AKey);
