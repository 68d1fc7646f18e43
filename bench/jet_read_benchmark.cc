// Full scan of every table of a database with the engine's reader: every row, every long
// value. Prints the time taken and what was read; read_benchmark.sh adds the comparison.
#include <chrono>
#include <cstdio>
#include <exception>

#include "jet/database.h"
#include "jet/table_reader.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: jet_read_benchmark <file.mdb>\n");
    return 2;
  }
  try {
    auto start = std::chrono::steady_clock::now();
    auto db = vintrel::jet::Database::Open(argv[1]);
    size_t tables = 0, rows = 0, value_bytes = 0;
    std::vector<vintrel::jet::Field> fields;
    for (const vintrel::jet::CatalogEntry& entry : db->ReadCatalog()) {
      if (entry.type != vintrel::jet::kCatalogLocalTable) continue;
      vintrel::jet::TableDefinition table = db->ReadTable(entry.definition_page());
      vintrel::jet::TableReader reader(db->pages(), db->format(), table);
      ++tables;
      while (reader.Next(fields)) {
        ++rows;
        for (const vintrel::jet::Field& field : fields) value_bytes += field.bytes.size();
      }
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("tables %zu rows %zu value_bytes %zu seconds %.3f\n", tables, rows, value_bytes,
                seconds);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
