// A test's look at the files the subset is about to create (files.cpp), so that it can put
// something at exactly the name that was chosen, however that name was made.
#pragma once

#include <functional>

namespace zod {

// Called with each name CreateFileA is about to create, just before it does; an empty
// function stops the watching.
void WatchFileCreation(std::function<void(const char* name)> watch);

} // namespace zod
