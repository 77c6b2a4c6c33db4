#include "config/ConfigProtocol.h"
