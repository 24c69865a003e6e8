#pragma once
// The totals of the order lines that the database keeps beside them, so that an analysis of years
// reads thousands of rows instead of a million: per business day (xsdhz_rq), and per month with
// the customer (xsdhz_kh), the item (xsdhz_ch) and the salesman (xsdhz_ywy). Triggers on xsdtb
// and xsdzb keep them in the transaction of every write, whoever writes: the apply, an approval, a
// restore, a copy, the demonstration data, another program on the same database.
//
// A business day is the order's date read as the reports read it (yyyy-MM-dd whatever format
// was typed; see reports/AnalysisStatement.h). A month row is keyed on the first of its month and
// holds the days 01 to 28; every other day (29 to 31, and a text that reads as no proper day) is
// a row of its own keyed on that day. So the rows whose key lies between the first of a month and
// any day from the 28th of a later month on hold exactly the lines of the days in between.
//
// Each row counts its lines (hs) and goes when the last one does; the day and salesman rows
// count their orders (djs) as well. Codes are kept as text with a flag for none (khid_null), and
// a name that is null as empty text.

#include <string>

#include "server/Database.h"

namespace velmora::server {

// The tables the reports may read beside xsdview; none is written but by the triggers.
inline constexpr const char* kSalesTotalsTables[] = {"xsdhz_rq", "xsdhz_kh", "xsdhz_ch", "xsdhz_ywy"};

// The business day of the date text rq (an SQL expression), as yyyy-MM-dd where it reads as one.
std::string businessDaySql(const std::string& rq);

// Creates the tables and the triggers in a database without them; they start empty.
void createSalesTotals(DbConnection& db);
// Whether the database has the tables.
bool hasSalesTotals(DbConnection& db);
// Creates the tables and triggers and fills them from the orders there; in one transaction.
void addSalesTotals(DbConnection& db);

}  // namespace velmora::server
