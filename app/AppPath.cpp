#include "app/SubMain.h"

QString AppPath;
