#pragma once
// The SQL texts and filters the invoicing window sends, with the values the user typed placed
// between single quotes. Every quote inside a value is doubled, so a value can never end its
// literal early.

#include <string>
#include <string_view>

namespace velmora {

// value with each single quote doubled.
std::string quoteDoubled(std::string_view value);

// The stored order with this invoice number, for the duplicate check on save.
std::string orderNumberQuery(std::string_view xsdid);
// The customer, respectively the salesman, with this code.
std::string customerLookupQuery(std::string_view khid);
std::string salesmanLookupQuery(std::string_view ywyid);
// The stored lines of one order, and those of one item in it.
std::string orderLinesQuery(std::string_view xsdid);
std::string orderItemLinesQuery(std::string_view xsdid, std::string_view chid);

}  // namespace velmora
