/* msiread: reads every row of every table of the packages named on the
 * command line with libmsi's public API, and prints the number of tables,
 * rows and cells read. The benchmark's yardstick: what reading the packages
 * alone costs.
 *
 *   msiread PACKAGE...
 */
#include <libmsi.h>
#include <stdio.h>

static LibmsiQuery* run_query(LibmsiDatabase* db, const char* sql) {
  GError* error = NULL;
  LibmsiQuery* query = libmsi_query_new(db, sql, &error);
  if (query == NULL || !libmsi_query_execute(query, NULL, &error)) {
    fprintf(stderr, "msiread: %s: %s\n", sql, error ? error->message : "failed");
    g_clear_error(&error);
    if (query != NULL) g_object_unref(query);
    return NULL;
  }
  return query;
}

/* Reads every cell of TABLE; adds to the counts. Returns 0 on success. */
static int read_table(LibmsiDatabase* db, const char* table, long* rows, long* cells) {
  gchar* sql = g_strdup_printf("SELECT * FROM `%s`", table);
  LibmsiQuery* query = run_query(db, sql);
  g_free(sql);
  if (query == NULL) return 1;
  GError* error = NULL;
  LibmsiRecord* types = libmsi_query_get_column_info(query, LIBMSI_COL_INFO_TYPES, &error);
  if (types == NULL) {
    g_clear_error(&error);
    g_object_unref(query);
    return 1;
  }
  guint count = libmsi_record_get_field_count(types);
  LibmsiRecord* rec;
  while ((rec = libmsi_query_fetch(query, NULL)) != NULL) {
    for (guint i = 1; i <= count; ++i) {
      gchar* type = libmsi_record_get_string(types, i);
      char kind = type != NULL ? type[0] : 's';
      if (kind == 'v' || kind == 'V') {
        /* A binary cell is read through its stream. */
        GInputStream* in = libmsi_record_get_stream(rec, i);
        if (in != NULL) {
          char buffer[65536];
          while (g_input_stream_read(in, buffer, sizeof buffer, NULL, NULL) > 0) {
          }
          g_object_unref(in);
        }
      } else if (kind == 'i' || kind == 'I') {
        (void)libmsi_record_get_int(rec, i);
      } else {
        g_free(libmsi_record_get_string(rec, i));
      }
      g_free(type);
      ++*cells;
    }
    ++*rows;
    g_object_unref(rec);
  }
  g_object_unref(types);
  libmsi_query_close(query, NULL);
  g_object_unref(query);
  return 0;
}

static int read_package(const char* path, long* tables, long* rows, long* cells) {
  GError* error = NULL;
  LibmsiDatabase* db = libmsi_database_new(path, LIBMSI_DB_FLAGS_READONLY, NULL, &error);
  if (db == NULL) {
    fprintf(stderr, "msiread: cannot open %s: %s\n", path, error ? error->message : "failed");
    g_clear_error(&error);
    return 1;
  }
  LibmsiQuery* names = run_query(db, "SELECT `Name` FROM `_Tables`");
  int status = names == NULL;
  LibmsiRecord* rec;
  while (names != NULL && (rec = libmsi_query_fetch(names, NULL)) != NULL) {
    gchar* table = libmsi_record_get_string(rec, 1);
    status |= read_table(db, table, rows, cells);
    ++*tables;
    g_free(table);
    g_object_unref(rec);
  }
  if (names != NULL) g_object_unref(names);
  g_object_unref(db);
  return status;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: msiread PACKAGE...\n");
    return 2;
  }
  long tables = 0, rows = 0, cells = 0;
  int status = 0;
  for (int i = 1; i < argc; ++i) status |= read_package(argv[i], &tables, &rows, &cells);
  printf("%ld tables, %ld rows, %ld cells\n", tables, rows, cells);
  return status;
}
