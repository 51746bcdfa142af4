#include "run/record_feed.hpp"

namespace box {

void RecordFeed::open(const Scenario& scenario) {
  file_.emplace(SiteFile::open(scenario.site.records, scenario.site.records.filename().string()));
  file_->skip_header();
}

SiteRecord RecordFeed::next(const std::function<void(const std::string&)>& warn) {
  if (records_ != nullptr) return records_->at(next_++);
  SiteRecord r = file_->next();
  // The list-directed reading takes a record wherever its values are; a
  // record that spans lines or leaves values on its line is how a missing
  // or extra value shows, hours before the reading runs out.
  if (warn)
    if (auto w = layout_warning(file_->name(), file_->last_layout(), file_->records_read())) warn(*w);
  return r;
}

}  // namespace box
