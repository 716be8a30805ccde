#include "Common/DrawLink.h"

_drawManLink drawManLink;
