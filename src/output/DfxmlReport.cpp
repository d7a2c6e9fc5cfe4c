#include "output/DfxmlReport.h"

#include <cstdio>
#include <ctime>
#include <sstream>

#include "platform/Clock.h"
#include "platform/PlatformError.h"

namespace salvora {

DfxmlReport::DfxmlReport(std::string source, std::string commandLine)
    : source_(std::move(source)), commandLine_(std::move(commandLine)) {}

std::string DfxmlReport::Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

std::string DfxmlReport::IsoTime(uint64_t fileTime) {
  if (fileTime == 0) return "";
  std::time_t t = std::time_t(platform::FileTimeToUnix(fileTime));
  std::tm tm {};
  if (!gmtime_r(&t, &tm)) return "";
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::string DfxmlReport::ToXml() const {
  std::ostringstream x;
  x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    << "<dfxml xmloutputversion=\"1.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
    << "  <metadata>\n    <dc:type>Recovery report</dc:type>\n  </metadata>\n"
    << "  <creator>\n    <program>salvora</program>\n    <version>0.1.0</version>\n"
    << "    <execution_environment>\n      <command_line>" << Escape(commandLine_)
    << "</command_line>\n    </execution_environment>\n  </creator>\n"
    << "  <source>\n    <image_filename>" << Escape(source_) << "</image_filename>\n  </source>\n";
  for (const auto& f : files_) {
    x << "  <fileobject>\n"
      << "    <filename>" << Escape(f.filename) << "</filename>\n"
      << "    <filesize>" << f.filesize << "</filesize>\n"
      << "    <alloc>" << (f.deleted ? 0 : 1) << "</alloc>\n";
    if (auto t = IsoTime(f.writeTime); !t.empty()) x << "    <mtime>" << t << "</mtime>\n";
    if (auto t = IsoTime(f.creationTime); !t.empty()) x << "    <crtime>" << t << "</crtime>\n";
    if (auto t = IsoTime(f.accessTime); !t.empty()) x << "    <atime>" << t << "</atime>\n";
    if (!f.byteRuns.empty()) {
      x << "    <byte_runs>\n";
      for (const auto& r : f.byteRuns)
        x << "      <byte_run file_offset=\"" << r.fileOffset << "\" img_offset=\"" << r.imageOffset
          << "\" len=\"" << r.length << "\"/>\n";
      x << "    </byte_runs>\n";
    }
    if (!f.sha256.empty()) x << "    <hashdigest type=\"sha256\">" << f.sha256 << "</hashdigest>\n";
    std::string foundBy;
    for (const auto& engine : f.foundBy) foundBy += (foundBy.empty() ? "" : " ") + engine;
    x << "    <salvora:output xmlns:salvora=\"urn:salvora\" engine=\"" << Escape(f.engine) << "\"";
    if (!f.state.empty()) x << " state=\"" << Escape(f.state) << "\"";
    if (!foundBy.empty()) x << " found_by=\"" << Escape(foundBy) << "\"";
    if (!f.timeSource.empty()) x << " times_from=\"" << Escape(f.timeSource) << "\"";
    x << ">" << Escape(f.outputPath) << "</salvora:output>\n";
    x << "  </fileobject>\n";
  }
  x << "</dfxml>\n";
  return x.str();
}

int DfxmlReport::WriteTo(const std::string& path) const {
  std::string tmp = path + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return platform::LastError();
  std::string xml = ToXml();
  bool ok = std::fwrite(xml.data(), 1, xml.size(), f) == xml.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    int code = platform::LastError();
    std::remove(tmp.c_str());
    return code;
  }
  return 0;
}

}  // namespace salvora
