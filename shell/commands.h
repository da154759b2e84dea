// Menu command ids, from the list that the resource script reads too.
#pragma once

#include "resources/command_ids.h"
