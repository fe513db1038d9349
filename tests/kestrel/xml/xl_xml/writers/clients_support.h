#pragma once
// Real clients over saved packages: Debian's Python (which sees the packaged
// openpyxl and xlsxwriter) and LibreOffice headless. A missing client fails
// the test, named.

#include "tests/clients.h"
#include "tests/kestrel/document/package_support.h"

#include <fstream>
#include <string>
#include <vector>

namespace writer_test {

// Quoted for the shell; texts here hold no single quote.
inline std::string shell_quoted(const std::string& text) { return "'" + text + "'"; }

// Runs the script from a file in dir, so it may hold any quote; its exit status.
inline int run_python_file(const package_test::scratch_dir& dir, const std::string& script,
                           const std::vector<std::string>& args) {
    if (const std::string missing = test_clients::missing_for_script(script); !missing.empty()) {
        ADD_FAILURE() << test_clients::missing_text(missing);
        return -1;
    }
    const std::string file = dir / "check.py";
    std::ofstream(file) << script;
    std::string command = "/usr/bin/python3 " + shell_quoted(file);
    for (const std::string& a : args) command += ' ', command += shell_quoted(a);
    return std::system(command.c_str());
}

// One call of Debian's soffice for all files, with a profile of its own in
// dir so that parallel runs never share one. format is a --convert-to argument.
inline int run_soffice(const package_test::scratch_dir& dir, const std::string& format,
                       const std::vector<std::string>& files, const std::string& out_dir) {
    if (!test_clients::installed("soffice")) {
        ADD_FAILURE() << test_clients::missing_text("soffice");
        return -1;
    }
    std::string command = "/usr/bin/soffice -env:UserInstallation=file://" + (dir / "lo_profile") +
                          " --headless --norestore --convert-to " + shell_quoted(format) + " --outdir " +
                          shell_quoted(out_dir);
    for (const std::string& f : files) command += ' ', command += shell_quoted(f);
    command += " >" + shell_quoted(dir / "soffice.log") + " 2>&1";
    return std::system(command.c_str());
}

// Every sheet of each package as "<name>-<sheet>.csv" in out_dir: UTF-8, comma
// separated, cell contents unformatted (numbers in full precision).
inline int convert_to_csv(const package_test::scratch_dir& dir, const std::vector<std::string>& files,
                          const std::string& out_dir) {
    return run_soffice(dir, "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1", files,
                       out_dir);
}

} // namespace writer_test
