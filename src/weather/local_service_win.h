#pragma once
// Starts skyvane-service.exe from the program's folder when the address in
// force is the build's loopback default and nothing answers there (see
// local_service.h). The service lives in a job object that ends it when the
// program ends.

// The creation sequence, after the settings are read: makes sure on a
// worker that the service answers, with or without a chosen location.
void startLocalService();

// Before a download, on its worker: when nothing answers on the service's
// port, starts the service (at most once a minute) and waits for it, a few
// seconds at most; a download that comes while another worker does so waits
// for it. True when it started the service just now.
bool ensureLocalService();
