#include "lines/line_tables.h"

LineTables LINE_TABLES;
