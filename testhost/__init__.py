"""The Corvina test host: a scriptable Telnet host for testing the emulator."""
