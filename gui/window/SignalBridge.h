#pragma once
// SIGTERM, SIGINT and SIGHUP end the program through its normal shutdown, so
// that settings and progress are saved: the signal handler only writes a byte
// into a pipe, and the event loop reads it and emits terminateRequested.
#include <QObject>

class QSocketNotifier;

namespace vz {

class SignalBridge : public QObject {
  Q_OBJECT
 public:
  explicit SignalBridge(QObject* parent = nullptr);
  ~SignalBridge() override;

 signals:
  void terminateRequested();

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vz
