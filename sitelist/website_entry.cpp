// One row of the website list (plain data; this unit keeps the library non-empty).
#include "website_entry.h"
