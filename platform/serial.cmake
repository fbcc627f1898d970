# The board's serial port (termios) and the registry the port search reads.
target_sources(walkmere_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SerialPort.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegistryFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegistrySysfs.cpp
)
