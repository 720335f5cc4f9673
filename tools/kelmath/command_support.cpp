// The steps every kelmath subcommand shares: options, data reading, result files and the run with
// its error handling.
#include "command_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/kel_exception.h"
#include "foundation/kel_output.h"

namespace kelmath_cli {

UsageError NotWritable(const std::string& path) {
  return UsageError(path + ": cannot be written");
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\"'\\$`()<>|&;*?~[]{}!#") == std::string::npos)
    return word;
  std::string quoted = "\"";
  for (const char c : word) {
    if (c == '"' || c == '\\' || c == '$' || c == '`') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CommandLine(int argc, char** argv) {
  std::string line = "kelmath";
  for (int i = 1; i < argc; ++i) {
    line += ' ';
    line += ShellWord(argv[i]);
  }
  return OneLine(line);
}

std::vector<std::string> TrimmedNames(const std::vector<std::string>& names) {
  std::vector<std::string> trimmed;
  for (const std::string& name : names) {
    const size_t first = name.find_first_not_of(" \t");
    trimmed.push_back(first == std::string::npos
                          ? std::string()
                          : name.substr(first, name.find_last_not_of(" \t") - first + 1));
  }
  return trimmed;
}

void AddCsvFormatOptions(CLI::App& subcommand, CsvFormatOptions& format) {
  auto* sep = subcommand
                  .add_option("--sep", format.separator,
                              "field separator: , ; or tab (default: from the header)")
                  ->check(CLI::IsMember({",", ";", "tab"}));
  subcommand
      .add_option("--decimal", format.decimal, "decimal mark of the numbers: . or , (default .)")
      ->check(CLI::IsMember({".", ","}));
  sep->default_str("");
}

char SeparatorOf(const CsvFormatOptions& format, const CLI::App& subcommand) {
  if (subcommand.count("--sep") == 0) return 0;
  return format.separator == "tab" ? '\t' : format.separator[0];
}

void CheckCsvFormat(const CsvFormatOptions& format, char separator) {
  if (separator == ',' && format.decimal == ",")
    throw UsageError("--sep ',' and --decimal ',' cannot be used together");
}

namespace {

std::string ReadWholeFile(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw UsageError(path + ": is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError(path + ": cannot be read");
  // Read straight into the string that the table keeps: the text is held once.
  std::string text;
  const auto size = std::filesystem::file_size(path, error);
  if (!error) text.reserve(size);
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
    text.append(buffer, static_cast<size_t>(in.gcount()));
  if (in.bad()) throw UsageError(path + ": cannot be read");
  return text;
}

}  // namespace

CsvTable ReadCsvFile(const std::string& path, char separator) {
  ParsedCsv parsed = ParseCsvText(ReadWholeFile(path), separator);
  if (!parsed.Ok()) throw UsageError(path + ": " + parsed.problem);
  return std::move(parsed.table);
}

void WritePending(PendingFiles& pending, const std::string& path, const std::string& text) {
  if (!pending.Write(path, text)) throw NotWritable(path);
}

void WritePlotImages(const std::vector<PlotImage>& images, const std::string& folder,
                     PendingFiles& pending) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder, error))
    throw UsageError(folder + ": cannot create the folder for the plots");
  for (const PlotImage& image : images)
    WritePending(pending, (std::filesystem::path(folder) / image.fileName).string(), image.svg);
}

void CommitPending(PendingFiles& pending) {
  const std::string failed = pending.Commit();
  if (!failed.empty()) throw NotWritable(failed);
}

namespace {

// A library error as one line: the lines of its text joined, without the empty ones.
std::string LibraryMessage(const KelException& e) {
  std::string line;
  std::istringstream text(e.what());
  for (std::string part; std::getline(text, part);)
    if (!part.empty()) line += (line.empty() ? "" : " ") + part;
  return line;
}

// The message and exit status of the failure being handled (called inside a catch block). A
// usage error stands alone; the others are failures of the run on its subject, the data file.
int ReportFailure(const std::string& subject) {
  const char* file = subject.c_str();
  try {
    throw;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "kelmath: %s\n", OneLine(e.what()).c_str());
  } catch (const KelException& e) {
    std::fprintf(stderr, "kelmath: %s: %s\n", file, OneLine(LibraryMessage(e)).c_str());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "kelmath: %s: not enough memory\n", file);
  } catch (const std::exception& e) {
    // Anything else (the JSON writer's errors included) is still one line and status 2.
    std::fprintf(stderr, "kelmath: %s: %s\n", file, OneLine(e.what()).c_str());
  } catch (...) {
    std::fprintf(stderr, "kelmath: %s: an unexpected error\n", file);
  }
  return kUsageOrDataError;
}

// The subcommand the command line chose, or -1.
int ParsedIndex(const std::vector<CLI::App*>& apps) {
  for (size_t i = 0; i < apps.size(); ++i)
    if (apps[i]->parsed()) return static_cast<int>(i);
  return -1;
}

// The subcommand that a message about the command line refers to: the one chosen or, before
// any is, the only one there is (-1 when there are several).
int SubjectIndex(const std::vector<CLI::App*>& apps) {
  const int parsed = ParsedIndex(apps);
  if (parsed >= 0 || apps.size() != 1) return parsed;
  return 0;
}

}  // namespace

int RunCommand(int argc, char** argv, const std::string& description,
               std::vector<Subcommand> subcommands) {
  // Library errors come back as exceptions, reported as data errors; the library's own output
  // goes nowhere unless a report file is asked for, so no "KelFile.txt" is ever created.
  KelErrorModeScope throwing(KelErrorMode::Throw);
  KelOutputScope discard(nullptr);
  // Warnings go to the channel only (captured, or into the report file), never raw to stderr.
  kelWarningMode = 0;
  CLI::App app{description, "kelmath"};
  app.require_subcommand(1);
  std::vector<CLI::App*> apps;
  for (Subcommand& subcommand : subcommands) {
    apps.push_back(app.add_subcommand(subcommand.name, subcommand.description));
    subcommand.addOptions(*apps.back());
  }
  try {
    app.parse(argc, argv);
    const int chosen = ParsedIndex(apps);
    return subcommands[static_cast<size_t>(chosen)].run({*apps[chosen], CommandLine(argc, argv)});
  } catch (const CLI::CallForHelp&) {
    const int chosen = ParsedIndex(apps);
    std::fputs(chosen >= 0 ? apps[chosen]->help().c_str() : app.help().c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& e) {
    const int about = SubjectIndex(apps);
    const std::string help = about >= 0 ? "kelmath " + subcommands[about].name : "kelmath";
    std::fprintf(stderr, "kelmath: %s (see %s --help)\n", OneLine(e.what()).c_str(), help.c_str());
    return kUsageOrDataError;
  } catch (...) {
    const int about = SubjectIndex(apps);
    return ReportFailure(about >= 0 ? subcommands[about].subject() : std::string());
  }
}

}  // namespace kelmath_cli
