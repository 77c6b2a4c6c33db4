#include "support/FakeSeams.h"
