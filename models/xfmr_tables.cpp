#include "models/xfmr_tables.h"

XfmrTables XFMR_TABLES;
