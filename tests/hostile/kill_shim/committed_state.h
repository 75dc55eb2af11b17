// What a PostgreSQL schema holds, summed up by one query: every table of
// the current schema with its row count and a digest of its rows in a
// fixed order, one line each. The kill library records it after each
// commit; the interrupted-run test compares it with the server's state
// after the kill.
#pragma once

namespace vl::hostile {

constexpr const char* kCommittedState =
    "SELECT coalesce(string_agg(table_name || '=' || (xpath('/row/c/text()', "
    "query_to_xml(format('SELECT count(*) || '':'' || md5(coalesce(string_agg(t::text, ''|'' "
    "ORDER BY t::text), '''')) AS c FROM %I.%I t', table_schema, table_name), false, true, "
    "'')))[1]::text, E'\\n' ORDER BY table_name), '') FROM information_schema.tables "
    "WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'";

}  // namespace vl::hostile
