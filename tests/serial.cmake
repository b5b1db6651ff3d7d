# Serial port layer: line mapping, port operations, receive assembly,
# port catalog, and a real pseudo-terminal.
kd36_gtest(serial_unit_test
  SOURCES
    serial/termios_mapping_test.cpp
    serial/rs_comm_port_test.cpp
    serial/receive_test.cpp
    serial/port_catalog_test.cpp
    serial/device_identity_test.cpp
    serial/reconnect_test.cpp
    serial/fake_device.h
  LIBS kd36_serial
  LABELS unit)

kd36_gtest(serial_pty_test
  SOURCES serial/pty_port_test.cpp
  LIBS kd36_serial
  LABELS unit)

# Network ports against a real ser2net on loopback (skipped when it is not
# installed).
kd36_gtest(serial_network_test
  SOURCES serial/network_port_test.cpp support/ser2net_server.cpp support/ser2net_server.h
  LIBS kd36_serial
  LABELS network)
