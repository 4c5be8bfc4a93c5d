// fake-alerts: the stand-in alert sources as a program, for the end-to-end
// test. Both answer one alert of the given event and severity, ending an
// hour and a half after each request.
//   fake-alerts [--listen HOST:PORT] [--event TEXT] [--severity NAME]
// Prints its address; GET /calls tells how many calls each source had.

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

#include "fake_alerts.h"

int main(int argc, char** argv) {
  std::string host = "127.0.0.1", event = "Tornado Warning", severity = "Severe";
  int port = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i], value = argv[i + 1];
    if (name == "--listen") {
      host = value.substr(0, value.rfind(':'));
      port = std::atoi(value.substr(value.rfind(':') + 1).c_str());
    } else if (name == "--event") {
      event = value;
    } else if (name == "--severity") {
      severity = value;
    } else {
      std::cerr << "fake-alerts: unknown option " << name << "\n";
      return 2;
    }
  }
  FakeAlerts fake(host, port);
  if (fake.port() <= 0) {
    std::cerr << "fake-alerts: cannot listen on " << host << ":" << port << "\n";
    return 1;
  }
  auto now = std::chrono::duration_cast<std::chrono::seconds>(
                 std::chrono::system_clock::now().time_since_epoch())
                 .count();
  // Ends well after any test is over.
  std::string ends = sourceTime(now + 6 * 3600, -6 * 3600);
  fake.nws(nwsCollection({nwsFeature({"urn:oid:2.49.0.1.840.0.e2e.1",
                                      event,
                                      severity,
                                      event + " issued for the test area",
                                      ends,
                                      ends,
                                      "Alert",
                                      "Actual",
                                      {}})}));
  std::string colour = severity == "Extreme" ? "red" : "orange";
  fake.eccc(ecccCollection({ecccFeature(
      {"urn:oid:2.49.0.1.124.e2e.2", event, "warning", colour,
       event + " in effect for the test area", "active", sourceTime(now + 6 * 3600, 0, true), ""},
      1)}));
  std::cout << "fake-alerts: listening on " << fake.url() << std::endl;
  fake.wait();
  return 0;
}
