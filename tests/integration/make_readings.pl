#!/usr/bin/env perl
# SPDX-License-Identifier: Apache-2.0
# Writes the readings file of the SQL cross-check to standard output: lines
# "YYYY-MM-DD HH:MM:SS,station,value" in UTC, in no particular order.
#
# Rows come in small clusters (one to four readings within a few minutes of each other) spread
# over 2006-12 to 2010-01, so every period from one minute to one month holds groups of several
# rows, plus readings on either side of the boundaries where groupings usually go wrong: the
# last second of a minute, hour, day, Saturday (the week runs Sunday to Saturday), month and
# year, 29 February 2008, and the ISO years 2007 to 2010 (2009 has 53 weeks).
# The generator is seeded, so the file is the same on every run. Usage: make_readings.pl [ROWS]
use strict;
use warnings;
use POSIX qw(strftime);
use Time::Local qw(timegm);

my $clusters = shift(@ARGV) // 1500;
my @stations = qw(north south east);

# A small linear congruential generator: the same sequence on every machine and Perl version.
my $state = 20070411;
sub next_random {
    my ($limit) = @_;
    $state = ($state * 1103515245 + 12345) % 2147483648;
    return int($state / 65536) % $limit;
}

sub reading {
    my ($t) = @_;
    my $station = $stations[next_random(scalar @stations)];
    my $value = sprintf('%.1f', next_random(400) / 10 - 5);
    print strftime('%Y-%m-%d %H:%M:%S', gmtime($t)), ",$station,$value\n";
}

my $first = timegm(0, 0, 0, 20, 11, 2006);    # 2006-12-20 00:00:00
my $last = timegm(0, 0, 0, 10, 0, 2010);      # 2010-01-10 00:00:00
my $span = $last - $first;

# Boundaries: each instant and the second before it.
my @edges = (
    [1, 0, 2007], [8, 3, 2007], [1, 4, 2007], [31, 11, 2007], [30, 11, 2007], [6, 0, 2008],
    [29, 1, 2008], [1, 2, 2008], [28, 11, 2008], [29, 11, 2008], [4, 0, 2009], [27, 11, 2009],
    [3, 0, 2010], [4, 0, 2010],
);
for my $edge (@edges) {
    my ($day, $month, $year) = @$edge;
    my $t = timegm(0, 0, 0, $day, $month, $year);
    reading($_) for ($t - 1, $t, $t + 59, $t + 60, $t + 3599, $t + 3600);
}

for (1 .. $clusters) {
    # Offsets drawn from two draws, since one draw of the generator stays below 32768.
    my $base = $first + (next_random(32768) * 32768 + next_random(32768)) % $span;
    my $size = 1 + next_random(4);
    reading($base + next_random(240) - 120) for 1 .. $size;
}
