#pragma once
// The site's hourly records as a run takes them: from what load_site()
// read before the run, or from the records file read as the run goes (the
// model's own day), with the warnings of records that span lines or leave
// values unread. Knows no mechanism.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "io/input_files.hpp"
#include "scenario/scenario.hpp"

namespace box {

class RecordFeed {
 public:
  // Takes the records read before (`records` must outlive the feed).
  void use(const std::vector<SiteRecord>& records) { records_ = &records; }
  // Takes the records file of `scenario`, opened and its header skipped,
  // named in messages by its file name. Throws InputError.
  void open(const Scenario& scenario);

  // The next record; `warn` (when set) hears of a record read from the file
  // that spans lines or leaves values on its line. Throws InputError.
  SiteRecord next(const std::function<void(const std::string&)>& warn);

 private:
  const std::vector<SiteRecord>* records_ = nullptr;
  std::size_t next_ = 0;
  std::optional<SiteFile> file_;
};

}  // namespace box
