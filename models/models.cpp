#include "models/models.h"

TransformerCount XFMR_COUNT;
