// What the Qt suites' main functions share: GoogleTest's start, a private
// runtime folder and a private X server for the application they make.
#pragma once

#include <functional>
#include <string>

// Initialises GoogleTest; a listing run returns at once. Otherwise makes a
// private runtime folder named after ASuite, starts the program's Xvfb, asks
// Qt for xcb, runs ARun (which makes the application and runs the tests)
// and removes the folder. Answers the tests' result, or 1 when the X server
// or the folder cannot be had.
int RunQtSuite(int& argc, char** argv, const std::string& ASuite,
               const std::function<int()>& ARun);
