#pragma once

// IPv4 configuration of a network interface: address, netmask, default
// gateway, name servers and link state. Addresses are dotted-quad texts in
// caller buffers of at least 16 bytes; interface names are cut to 15
// characters. In the setters "0.0.0.0" leaves a value unchanged.

#ifdef __cplusplus
extern "C" {
#endif

// 1 when the interface's address of that ioctl request was read into out
// (6 raw bytes for the hardware address, else dotted text), else 0.
int get_addr(const char* name, char* out, unsigned long request);
int get_ip(const char* name, char* out);
int get_ip_netmask(const char* name, char* out);
int get_mac(const char* name, char* out);

// 1 when inet_aton accepts the text.
int is_valid_ip(const char* text);
// 1 for a valid address whose one bits are contiguous from the top.
int is_valid_netmask(const char* text);

// 1 when the address of that ioctl request was set, else 0.
int set_addr(const char* name, const char* text, unsigned long request);
int set_ip(const char* name, const char* text);
int set_ip_netmask(const char* name, const char* text);
// Adds a default route through the gateway; 1 or 0.
int set_gateway(const char* text);

// The current default gateway into out ("" when none); 1 when "ip route" ran.
int get_gateway(char* out);
// The first two name servers of /etc/resolv.conf ("" for an absent one or
// one longer than 15 characters); out2 may be null. 0.
int get_dns(char* out1, char* out2);

// Sets the address, netmask and default gateway of dev where they differ
// from the current ones. 0.
int set_network(const char* dev, const char* ip, const char* mask, const char* gw);
// As set_network for the address and netmask; the gateway is left alone. 0.
int set_network_httpcmd(const char* iface, const char* ip, const char* mask, const char* gw);
// Reads the address, gateway, netmask and first name server; get_dns's result.
int get_network(const char* dev, char* ip, char* gw, char* mask, char* dns);

// Link state by the ethtool query, on fd when positive, else on a socket of
// its own: 0 up, 1 down, 2 error.
int detect_interface_status(const char* name, int fd);

#ifdef __cplusplus
}
#endif
