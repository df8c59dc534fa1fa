#include "app/main_seams.h"

MainSeams AppSeams = {};
