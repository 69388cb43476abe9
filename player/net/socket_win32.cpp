// Winsock sockets: being written.
