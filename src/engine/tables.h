// Every table's operations, as read-all and write-all call them.
#pragma once

#include "tables/lines/subscriber_lines.h"
#include "tables/lines/trunk_lines.h"
#include "tables/lines/groups.h"
#include "tables/features/all_sys.h"
#include "tables/features/time_settings.h"
#include "tables/features/flash.h"
#include "tables/features/intercoms.h"
#include "tables/features/loudspeakers.h"
#include "tables/features/key_tables.h"
#include "tables/features/program_numbers.h"
#include "tables/features/redirects.h"
#include "tables/features/conferences.h"
#include "tables/features/directions.h"
#include "phonebooks/common_book.h"
#include "phonebooks/group_books.h"
#include "phonebooks/bw_books.h"
