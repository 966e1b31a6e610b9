// The main panel's Report...: the capability report (report/) of what the statistics show:
// the records in view while the strip charts are paused, else a replayed recording whole, else
// the run so far, which a collector takes record by record in constant memory.
#pragma once

#include "capability.h"
#include "record_stream.h"

class Station;

class CapabilityOfRecords final : public RecordConsumer {
  public:
    explicit CapabilityOfRecords(Station& s) : s_(s) {}
    void RunStarted() override;
    void Take(const Record& record) override;
    // What the run so far gives; the run goes on collecting.
    CapabilityData SoFar() const;
    long long Records() const { return records_; }

  private:
    Station& s_;
    CapabilityCollector collector_;
    long long records_ = 0;
};

int CC_BTNReport(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
