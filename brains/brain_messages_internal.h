// Console messages of the brain classes (private to brains/).
#pragma once

#include <string>

class Brain;

// Writes `Brain "<name>": <problem>; <consequence>` and a line feed to the console.
void reportBrain(const Brain& brain, const std::string& problem, const char* consequence);
