#include "controls/meter_tables.h"

MeterTables METER_TABLES;
