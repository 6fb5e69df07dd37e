#include "SkylodeApp.h"

// The one application object.
CSkylodeApp theApp;
