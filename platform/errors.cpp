// The runtime error report, the procedure scopes that name the failing
// procedure, end_program and the guarded run that turns both into a status.
#include <cstdio>
#include <new>

#include "platform/backend.h"
#include "platform/platform.h"

namespace platform {

namespace {

// The innermost game procedure of this thread; no module means no scope.
thread_local const char* current_module = nullptr;
thread_local const char* current_procedure = nullptr;

const char* error_text(int number) {
  switch (number) {
    case ERROR_ILLEGAL_FUNCTION_CALL:
      return "illegal function call";
    case ERROR_FILE_NOT_FOUND:
      return "file not found";
    case ERROR_FILE_IO:
      return "file I/O error";
    case ERROR_OUT_OF_MEMORY:
      return "out of memory";
    case ERROR_OUT_OF_BOUNDS:
      return "out of bounds array access";
    default:
      return "unprintable error";
  }
}

// Filled from the innermost scope; outside every scope the program's own
// top level, "main", with no procedure.
RuntimeError error_here(int number, int line) {
  RuntimeError error;
  error.number = number;
  error.line = line;
  if (current_module != nullptr) {
    error.module = current_module;
    error.procedure = current_procedure != nullptr ? current_procedure : "";
    error.procedure_known = true;
  } else {
    error.module = "main";
    error.procedure_known = false;
  }
  return error;
}

}  // namespace

std::string error_report(const RuntimeError& error) {
  std::string report = "\nAborting due to runtime error " + decimal(error.number);
  report += " (";
  report += error_text(error.number);
  report += ")";
  if (error.line > 0) report += " at line " + decimal(error.line);
  report += error.line > 0 ? " of " : " in ";
  report += error.module;
  if (error.procedure_known) report += "::" + error.procedure;
  report += "()\n\n";
  return report;
}

void raise_error(int number, SourceLine where) { throw error_here(number, static_cast<int>(where.line())); }

ProcedureScope::ProcedureScope(const char* module, const char* procedure)
    : outer_module_(current_module), outer_procedure_(current_procedure) {
  current_module = module != nullptr ? module : "";
  current_procedure = procedure != nullptr ? procedure : "";
}

ProcedureScope::~ProcedureScope() {
  current_module = outer_module_;
  current_procedure = outer_procedure_;
}

void end_program(int status) { throw ProgramEnd{status}; }

namespace backend {

Outcome run_guarded(const std::function<void()>& entry) {
  Outcome outcome;
  try {
    entry();
  } catch (const RuntimeError& error) {
    outcome = {error.number, error_report(error)};
  } catch (const ProgramEnd& end) {
    outcome = {end.status, {}};
  } catch (const std::bad_alloc&) {
    // Memory ran out outside a checked operation: reported as error 4.
    outcome = {ERROR_OUT_OF_MEMORY, error_report(error_here(ERROR_OUT_OF_MEMORY, 0))};
  } catch (...) {
    abandon_screen_lock();
    throw;
  }
  abandon_screen_lock();
  return outcome;
}

}  // namespace backend

}  // namespace platform
