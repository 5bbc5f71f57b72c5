#pragma once
// The program's side of the backups: the backup window in the catalog, the
// way a restore ends the session and returns to the login window, and the
// automatic backup after the first login of the day.

namespace cg {

// Registers the backup window and the session steps a restore takes.
void InstallBackupSession();

// After a successful login: starts the day's backup of the embedded
// database on a worker thread when one is due. A failure is told once in
// the status bar and in the operation log; it never stops the work.
void StartDailyBackup();

// Closes every window but the main window, hides that and forgets the
// login; false (the session goes on) when a window cannot close now.
bool LeaveSession();
// Shows the login window on the database now connected.
void ReturnToLogin();

} // namespace cg
