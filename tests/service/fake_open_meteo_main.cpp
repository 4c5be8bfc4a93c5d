// fake-open-meteo: the stand-in forecast server as a program, for the scripts
// that put the service behind nginx and for the end-to-end test.
//   fake-open-meteo [--listen HOST:PORT] [--temperature F] [--feels-like F] [--delay-ms MS]
//                   [--tell-time 1] [--fail-south 1]
// Prints its address; GET /calls tells how many forecasts it has served,
// GET /calls?by=place how many for each place. With --tell-time 1 each
// reading's temperature is the second it was fetched, modulo 150; with
// --fail-south 1 places south of the equator are answered 400. Readings are
// observed at the last quarter hour of the real time.

#include <cstdlib>
#include <iostream>
#include <string>

#include "fake_open_meteo.h"

int main(int argc, char** argv) {
  std::string host = "127.0.0.1";
  int port = 0, delayMs = 0;
  double temperatureF = 71.6, feelsLikeF = 69.4;
  bool tellTime = false, failSouth = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i], value = argv[i + 1];
    if (name == "--listen") {
      host = value.substr(0, value.rfind(':'));
      port = std::atoi(value.substr(value.rfind(':') + 1).c_str());
    } else if (name == "--temperature") {
      temperatureF = std::atof(value.c_str());
    } else if (name == "--feels-like") {
      feelsLikeF = std::atof(value.c_str());
    } else if (name == "--tell-time") {
      tellTime = value == "1";
    } else if (name == "--fail-south") {
      failSouth = value == "1";
    } else if (name == "--delay-ms") {
      delayMs = std::atoi(value.c_str());
    } else {
      std::cerr << "fake-open-meteo: unknown option " << name << "\n";
      return 2;
    }
  }
  FakeOpenMeteo fake(host, port);
  if (fake.port() <= 0) {
    std::cerr << "fake-open-meteo: cannot listen on " << host << ":" << port << "\n";
    return 1;
  }
  fake.answer({200, forecastJson(temperatureF, feelsLikeF), delayMs});
  if (tellTime) fake.tellTimeByTemperature();
  if (failSouth) fake.failSouth();
  fake.observeAtTheRealTime();
  std::cout << "fake-open-meteo: listening on " << fake.url() << std::endl;
  fake.wait();
  return 0;
}
