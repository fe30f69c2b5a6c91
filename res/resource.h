// Resource numbers of Orlup.exe: the shared dialog layout's ids, for the resource script and C++.
#pragma once

#include "DialogLayout.h"
